// Packed pixels into the image's planes, shared by the decoders of formats that store red,
// green and blue (and maybe a pad or alpha byte) next to each other.
#pragma once
#include <cstdint>

// Byte order of one packed pixel; X is a pad or alpha byte that is not kept. The orders
// ending in 16 have samples of two bytes, most significant first, of which the high one is kept.
enum PixelOrder {
    ORDER_RGB,
    ORDER_BGR,
    ORDER_RGBX,
    ORDER_BGRX,
    ORDER_XRGB,
    ORDER_XBGR,
    ORDER_RGB16,
    ORDER_RGBX16
};

// Splits width pixels of src into the red, green and blue planes.
void split_packed(PixelOrder order, const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue,
                  int width);

// Red, green and blue samples of two bytes each, most significant first, over the whole
// 0..65535 range: each becomes the nearest of 0..255 (v * 255 / 65535 rounded).
void split_packed_wide(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, int width);

// Pixels of 1, 2 or 4 bits packed in bytes, the first in the most significant bits: width
// values of 0 to 2^bits - 1.
void unpack_bits_msb(const uint8_t* src, uint8_t* dst, int width, int bits);
