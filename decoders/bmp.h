// Windows bitmap decoder: header record shared by the header reader and the pixel readers.
#pragma once
#include <cstdint>

struct Image;

struct BmpHeader {
    int64_t file_size;     // real size on disk
    int64_t required_size; // grows with each part the header says must be present
    uint32_t data_offset;
    uint32_t header_size; // 12, 16, 64 (OS/2); 40, 52, 56, 108, 124 (Windows)
    int32_t width;
    int32_t height; // absolute value of the stored height
    bool bottom_up; // stored height >= 0
    int bits;
    uint32_t compression; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t masks[3];    // red, green, blue
};

enum BmpCompression { BMP_RGB = 0, BMP_RLE8 = 1, BMP_RLE4 = 2, BMP_BITFIELDS = 3 };

// Pixel readers; the reader is positioned at the pixel data and the image rows exist.
void bmp_read_run_length(Image* image, const BmpHeader& h);
void bmp_read_rows(Image* image, const BmpHeader& h);
