// Text reading for the portable-anymap formats: a count of bytes left shared by every reader,
// header tokens with '#' comments, and single bytes.
#pragma once

void pnm_begin_header(long long bytes_left);
long pnm_header_number();
// Next byte, or -1 once the count of bytes left is used up.
int pnm_read_byte();
long long pnm_bytes_left();
// Reads one blank-delimited token (first 31 characters kept); returns its delimiter or -1.
int pnm_read_token(char* text);
void pnm_skip_line();
