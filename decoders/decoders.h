// Entry points of the format decoders, called by the load dispatch.
// Each fills the image through image_alloc / image_row_write and reports failure in g_status.
#pragma once

void bmp_load(int image_id, int list, int row);
void jpeg_load(int image_id, int list);
// Adds every page itself and clears *image_id so that the dispatch adds nothing.
void gif_load(int* image_id, int list);
void tiff_load(int image_id, int list, int row);
void png_load(int image_id, int list);
void xpm_load(int image_id, int list);
void pnm_load(int image_id, int name_index, int list);
void pcx_load(int image_id, int list);
void sunras_load(int image_id, int list);
void targa_load(int image_id, int list);

// PNM header numbers (decoders/pnm_tokens.h has the rest of the text reading):
// sets the count of bytes left, then reads one number per call, skipping '#' comments.
void pnm_begin_header(long long bytes_left);
long pnm_header_number();
