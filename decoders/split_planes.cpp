#include "decoders/split_planes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__SSE2__)
namespace {
// One step of the split: interleaving the low halves of (a, high b), (high a, c), (b, high c)
// moves every byte a third of the way to its plane; four steps sort 16 pixels.
inline void split_step(__m128i* a, __m128i* b, __m128i* c) {
    __m128i x = _mm_unpacklo_epi8(*a, _mm_unpackhi_epi64(*b, *b));
    __m128i y = _mm_unpacklo_epi8(_mm_unpackhi_epi64(*a, *a), *c);
    __m128i z = _mm_unpacklo_epi8(*b, _mm_unpackhi_epi64(*c, *c));
    *a = x, *b = y, *c = z;
}

// Sixteen pixels in a, b, c, sorted into their planes.
inline void split_sixteen(__m128i a, __m128i b, __m128i c, uint8_t* first, uint8_t* second,
                          uint8_t* third) {
    for (int step = 0; step < 4; step++) split_step(&a, &b, &c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(first), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(second), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(third), c);
}

// Eight big-endian samples to bytes: with x = v + 128 (saturated, which changes nothing for the
// top values), (x - x / 256) / 256 is v * 255 / 65535 rounded.
inline __m128i wide_to_bytes(const uint8_t* at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    __m128i x = _mm_adds_epu16(v, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_sub_epi16(x, _mm_srli_epi16(x, 8)), 8);
}
} // namespace
#endif

namespace {
inline uint8_t wide_to_byte(const uint8_t* at) {
    unsigned x = ((unsigned(at[0]) << 8) | at[1]) + 128;
    return static_cast<uint8_t>((x - (x >> 8)) >> 8);
}
} // namespace

void split_three_planes(const uint8_t* pixels, uint8_t* first, uint8_t* second, uint8_t* third,
                        int count) {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= count; x += 16, pixels += 48) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 32));
        split_sixteen(a, b, c, first + x, second + x, third + x);
    }
#endif
    for (; x < count; x++, pixels += 3) {
        first[x] = pixels[0];
        second[x] = pixels[1];
        third[x] = pixels[2];
    }
}

void split_three_wide_planes(const uint8_t* pixels, uint8_t* first, uint8_t* second, uint8_t* third,
                             int count) {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= count; x += 16, pixels += 96) {
        __m128i a = _mm_packus_epi16(wide_to_bytes(pixels), wide_to_bytes(pixels + 16));
        __m128i b = _mm_packus_epi16(wide_to_bytes(pixels + 32), wide_to_bytes(pixels + 48));
        __m128i c = _mm_packus_epi16(wide_to_bytes(pixels + 64), wide_to_bytes(pixels + 80));
        split_sixteen(a, b, c, first + x, second + x, third + x);
    }
#endif
    for (; x < count; x++, pixels += 6) {
        first[x] = wide_to_byte(pixels);
        second[x] = wide_to_byte(pixels + 2);
        third[x] = wide_to_byte(pixels + 4);
    }
}
