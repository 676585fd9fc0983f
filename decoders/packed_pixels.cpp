#include "decoders/packed_pixels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// Four packed pixels of Bytes bytes each, one per 32-bit lane (a 3-byte pixel's fourth byte 0).
template <int Bytes> inline __m128i four_pixels(const uint8_t* src) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    if (Bytes == 4) return v;
    const __m128i lane0 = _mm_set_epi32(0, 0, 0, 0x00FFFFFF);
    __m128i out = _mm_and_si128(v, lane0);
    out = _mm_or_si128(out, _mm_and_si128(_mm_slli_si128(v, 1), _mm_slli_si128(lane0, 4)));
    out = _mm_or_si128(out, _mm_and_si128(_mm_slli_si128(v, 2), _mm_slli_si128(lane0, 8)));
    return _mm_or_si128(out, _mm_and_si128(_mm_slli_si128(v, 3), _mm_slli_si128(lane0, 12)));
}

// Byte At of each lane of four registers: sixteen bytes.
template <int At> inline __m128i gather(const __m128i (&p)[4]) {
    const __m128i low = _mm_set1_epi32(0xFF);
    __m128i c[4];
    for (int k = 0; k < 4; k++) c[k] = _mm_and_si128(_mm_srli_epi32(p[k], 8 * At), low);
    return _mm_packus_epi16(_mm_packs_epi32(c[0], c[1]), _mm_packs_epi32(c[2], c[3]));
}
#endif

#if defined(__SSE2__)
// Sorting three-byte pixels: interleaving the low halves of (a, high b), (high a, c),
// (b, high c) moves every byte a third of the way to its plane; four such steps leave the
// first, second and third bytes of sixteen pixels in a, b and c.
inline void sort_step(__m128i* a, __m128i* b, __m128i* c) {
    __m128i x = _mm_unpacklo_epi8(*a, _mm_unpackhi_epi64(*b, *b));
    __m128i y = _mm_unpacklo_epi8(_mm_unpackhi_epi64(*a, *a), *c);
    __m128i z = _mm_unpacklo_epi8(*b, _mm_unpackhi_epi64(*c, *c));
    *a = x, *b = y, *c = z;
}

// Sixteen three-byte pixels held in a, b, c, stored as byte R, G and B of each.
template <int R, int G, int B>
inline void store_sixteen(__m128i a, __m128i b, __m128i c, uint8_t* red, uint8_t* green,
                          uint8_t* blue) {
    for (int step = 0; step < 4; step++) sort_step(&a, &b, &c);
    const __m128i sorted[3] = {a, b, c};
    _mm_storeu_si128(reinterpret_cast<__m128i*>(red), sorted[R]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(green), sorted[G]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(blue), sorted[B]);
}

// Eight big-endian 16-bit samples to bytes: with x = v + 128 (saturated, which changes nothing
// for the top values), (x - x / 256) / 256 is v * 255 / 65535 rounded.
inline __m128i wide_to_bytes(const uint8_t* at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    __m128i x = _mm_adds_epu16(v, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_sub_epi16(x, _mm_srli_epi16(x, 8)), 8);
}
#endif

inline uint8_t wide_to_byte(const uint8_t* at) {
    unsigned x = ((unsigned(at[0]) << 8) | at[1]) + 128;
    return static_cast<uint8_t>((x - (x >> 8)) >> 8);
}

// Source and planes never overlap. Sixteen pixels of three or four bytes at a time where SSE2
// is there; the wide loads of four-byte pixels read up to four bytes past the sixteenth pixel,
// so the last pixels go one by one, as do all pixels of two-byte samples.
template <int Bytes, int R, int G, int B>
void split(const uint8_t* __restrict src, uint8_t* __restrict red, uint8_t* __restrict green,
           uint8_t* __restrict blue, int width) {
    int x = 0;
#if defined(__SSE2__)
    if constexpr (Bytes == 3) {
        for (; x + 16 <= width; x += 16) {
            const uint8_t* s = src + 3 * x;
            store_sixteen<R, G, B>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32)),
                                   red + x, green + x, blue + x);
        }
    }
    if constexpr (Bytes == 4) {
        for (; x + 18 <= width; x += 16) {
            const uint8_t* s = src + Bytes * x;
            const __m128i p[4] = {four_pixels<Bytes>(s), four_pixels<Bytes>(s + 4 * Bytes),
                                  four_pixels<Bytes>(s + 8 * Bytes),
                                  four_pixels<Bytes>(s + 12 * Bytes)};
            _mm_storeu_si128(reinterpret_cast<__m128i*>(red + x), gather<R>(p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(green + x), gather<G>(p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(blue + x), gather<B>(p));
        }
    }
#endif
    for (; x < width; x++) {
        red[x] = src[Bytes * x + R];
        green[x] = src[Bytes * x + G];
        blue[x] = src[Bytes * x + B];
    }
}

// With the pixel size known at compile time each byte's pixels are unrolled.
template <int Bits> void unpack(const uint8_t* src, uint8_t* dst, int width) {
    constexpr int per_byte = 8 / Bits;
    constexpr unsigned mask = (1u << Bits) - 1;
    const int whole = width / per_byte;
    for (int i = 0; i < whole; i++, dst += per_byte) {
        const unsigned byte = src[i];
        for (int k = 0; k < per_byte; k++) dst[k] = uint8_t((byte >> (8 - Bits * (k + 1))) & mask);
    }
    for (int k = 0; k < width % per_byte; k++)
        dst[k] = uint8_t((src[whole] >> (8 - Bits * (k + 1))) & mask);
}

} // namespace

void split_packed(PixelOrder order, const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue,
                  int width) {
    switch (order) {
    case ORDER_RGB:
        return split<3, 0, 1, 2>(src, red, green, blue, width);
    case ORDER_BGR:
        return split<3, 2, 1, 0>(src, red, green, blue, width);
    case ORDER_RGBX:
        return split<4, 0, 1, 2>(src, red, green, blue, width);
    case ORDER_BGRX:
        return split<4, 2, 1, 0>(src, red, green, blue, width);
    case ORDER_XRGB:
        return split<4, 1, 2, 3>(src, red, green, blue, width);
    case ORDER_XBGR:
        return split<4, 3, 2, 1>(src, red, green, blue, width);
    case ORDER_RGB16:
        return split<6, 0, 2, 4>(src, red, green, blue, width);
    case ORDER_RGBX16:
        return split<8, 0, 2, 4>(src, red, green, blue, width);
    }
}

void split_packed_wide(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, int width) {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= width; x += 16, src += 96) {
        store_sixteen<0, 1, 2>(_mm_packus_epi16(wide_to_bytes(src), wide_to_bytes(src + 16)),
                               _mm_packus_epi16(wide_to_bytes(src + 32), wide_to_bytes(src + 48)),
                               _mm_packus_epi16(wide_to_bytes(src + 64), wide_to_bytes(src + 80)),
                               red + x, green + x, blue + x);
    }
#endif
    for (; x < width; x++, src += 6) {
        red[x] = wide_to_byte(src);
        green[x] = wide_to_byte(src + 2);
        blue[x] = wide_to_byte(src + 4);
    }
}

void unpack_bits_msb(const uint8_t* src, uint8_t* dst, int width, int bits) {
    switch (bits) {
    case 1:
        return unpack<1>(src, dst, width);
    case 2:
        return unpack<2>(src, dst, width);
    case 4:
        return unpack<4>(src, dst, width);
    }
}
