// Splitting the command line into paths.
#pragma once

constexpr int k_max_token = 255;

enum TokenResult { TOKEN_NONE = 0, TOKEN_READ = 1, TOKEN_TOO_LONG = 2, TOKEN_EMPTY = 3 };

// Reads the token at *cursor into out (k_max_token + 1 bytes) and moves the cursor past it.
// A token that begins right at the cursor with a double quote runs to the next double quote;
// any other runs from the first non-blank to the next blank. A token longer than k_max_token
// characters is passed over whole (TOKEN_TOO_LONG); blanks or "" alone give TOKEN_EMPTY.
// TOKEN_NONE at the end of the line. Every other result moves the cursor on.
TokenResult next_command_token(const char** cursor, char* out);
