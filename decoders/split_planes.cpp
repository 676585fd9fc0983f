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
} // namespace
#endif

void split_three_planes(const uint8_t* pixels, uint8_t* first, uint8_t* second, uint8_t* third,
                        int count) {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= count; x += 16, pixels += 48) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 32));
        for (int step = 0; step < 4; step++) split_step(&a, &b, &c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(first + x), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(second + x), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(third + x), c);
    }
#endif
    for (; x < count; x++, pixels += 3) {
        first[x] = pixels[0];
        second[x] = pixels[1];
        third[x] = pixels[2];
    }
}
