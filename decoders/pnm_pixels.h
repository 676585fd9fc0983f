// Pixel readers of the PNM decoder; each starts at the reader's current position (just after
// the header) and writes every row of the image from the top.
#pragma once

struct Image;

struct PnmRaster {
    Image* image;
    int variant; // 1..6 for P1..P6
    int maxval;  // 1..65535
};

void pnm_read_text_bits(const PnmRaster& r);    // P1
void pnm_read_text_samples(const PnmRaster& r); // P2, P3
void pnm_read_raw_bits(const PnmRaster& r);     // P4
void pnm_read_raw_samples(const PnmRaster& r);  // P5, P6
