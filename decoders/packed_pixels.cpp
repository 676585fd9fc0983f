#include "decoders/packed_pixels.h"

namespace {

// Source and planes never overlap; saying so lets the loops be vectorised.
template <int Bytes, int R, int G, int B>
void split(const uint8_t* __restrict src, uint8_t* __restrict red, uint8_t* __restrict green,
           uint8_t* __restrict blue, int width) {
    for (int x = 0; x < width; x++) {
        red[x] = src[Bytes * x + R];
        green[x] = src[Bytes * x + G];
        blue[x] = src[Bytes * x + B];
    }
}

} // namespace

void split_packed(PixelOrder order, const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue,
                  int width) {
    switch (order) {
    case ORDER_RGB:
        return split<3, 0, 1, 2>(src, red, green, blue, width);
    case ORDER_BGR:
        return split<3, 2, 1, 0>(src, red, green, blue, width);
    case ORDER_BGRX:
        return split<4, 2, 1, 0>(src, red, green, blue, width);
    case ORDER_XRGB:
        return split<4, 1, 2, 3>(src, red, green, blue, width);
    case ORDER_XBGR:
        return split<4, 3, 2, 1>(src, red, green, blue, width);
    }
}

void unpack_bits_msb(const uint8_t* src, uint8_t* dst, int width) {
    int whole = width / 8;
    for (int i = 0; i < whole; i++, dst += 8) {
        unsigned byte = src[i];
        for (int b = 0; b < 8; b++) dst[b] = (byte >> (7 - b)) & 1;
    }
    for (int x = 0; x < width % 8; x++) dst[x] = (src[whole] >> (7 - x)) & 1;
}
