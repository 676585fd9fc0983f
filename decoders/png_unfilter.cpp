// PNG row filters reversed (types 1 Sub, 2 Up, 3 Average, 4 Paeth as the PNG standard defines
// them). Sub, Average and Paeth carry a dependency from each pixel to the next: for 3- and
// 4-byte pixels SSE2 handles a whole pixel per step; otherwise the left and upper-left pixels
// stay in registers, with the pixel size known at compile time where it is common.
#include "decoders/png_internal.h"

#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Paeth predictor: the neighbour nearest to left + above - upper-left, ties going to left,
// then above. Written without branches so the compiler can use selects.
inline int paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return pa <= pb && pa <= pc ? a : bc;
}

// Portable forms. The first pixel has no left neighbour (zeros); n need not be a multiple of
// the unit (rows of packed pixels with alpha).
template <int U> void sub_fixed(const uint8_t* src, uint8_t* dst, size_t n) {
    int a[U] = {};
    size_t i = 0;
    for (; i + U <= n; i += U)
        for (int k = 0; k < U; k++) dst[i + k] = uint8_t(a[k] = uint8_t(src[i + k] + a[k]));
    for (int k = 0; i < n; i++, k++) dst[i] = uint8_t(src[i] + a[k]);
}

template <int U>
void average_fixed(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
    int a[U] = {};
    size_t i = 0;
    for (; i + U <= n; i += U)
        for (int k = 0; k < U; k++)
            dst[i + k] = uint8_t(a[k] = uint8_t(src[i + k] + ((a[k] + prior[i + k]) >> 1)));
    for (int k = 0; i < n; i++, k++) dst[i] = uint8_t(src[i] + ((a[k] + prior[i]) >> 1));
}

template <int U>
void paeth_fixed(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
    int a[U] = {}, c[U] = {};
    size_t i = 0;
    for (; i + U <= n; i += U)
        for (int k = 0; k < U; k++) {
            const int b = prior[i + k];
            dst[i + k] = uint8_t(a[k] = uint8_t(src[i + k] + paeth(a[k], b, c[k])));
            c[k] = b;
        }
    for (int k = 0; i < n; i++, k++) dst[i] = uint8_t(src[i] + paeth(a[k], prior[i], c[k]));
}

#if defined(__SSE2__)
inline __m128i load4(const uint8_t* p) {
    int v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}
inline void store4(uint8_t* p, __m128i v) {
    const int w = _mm_cvtsi128_si32(v);
    std::memcpy(p, &w, 4);
}

// One pixel of U (3 or 4) bytes per step, moved as 4 bytes: with 3-byte pixels the fourth
// byte written belongs to the next pixel, which its own step writes again. Steps stop while
// 4 bytes remain; the scalar tail finishes a last 3-byte pixel. Returns the bytes done.
template <int U> size_t sub_sse2(const uint8_t* src, uint8_t* dst, size_t n) {
    __m128i a = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 4 <= n; i += U) {
        a = _mm_add_epi8(load4(src + i), a);
        store4(dst + i, a);
    }
    return i;
}

template <int U>
size_t average_sse2(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 4 <= n; i += U) {
        const __m128i b = load4(prior + i);
        // Rounding-up average made a floor one: minus the low bit of a ^ b.
        const __m128i mean =
            _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(load4(src + i), mean);
        store4(dst + i, a);
    }
    return i;
}

inline __m128i abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

template <int U>
size_t paeth_sse2(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low_byte = _mm_set1_epi16(0xFF);
    __m128i a = zero, c = zero; // left and upper-left, one 16-bit lane per byte
    size_t i = 0;
    for (; i + 4 <= n; i += U) {
        const __m128i b = _mm_unpacklo_epi8(load4(prior + i), zero);
        const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
        const __m128i pa = abs16(bc), pb = abs16(ac), pc = abs16(_mm_add_epi16(bc, ac));
        const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i take_a = _mm_cmpeq_epi16(pa, least);
        const __m128i take_b = _mm_andnot_si128(take_a, _mm_cmpeq_epi16(pb, least));
        const __m128i take_c = _mm_andnot_si128(_mm_or_si128(take_a, take_b), _mm_set1_epi16(-1));
        const __m128i predicted =
            _mm_or_si128(_mm_or_si128(_mm_and_si128(take_a, a), _mm_and_si128(take_b, b)),
                         _mm_and_si128(take_c, c));
        a = _mm_and_si128(_mm_add_epi16(_mm_unpacklo_epi8(load4(src + i), zero), predicted),
                          low_byte);
        c = b;
        store4(dst + i, _mm_packus_epi16(a, a));
    }
    return i;
}
#endif

void up(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_add_epi8(s, p));
    }
#endif
    for (; i < n; i++) dst[i] = uint8_t(src[i] + prior[i]);
}

void sub(const uint8_t* src, uint8_t* dst, size_t n, size_t unit) {
    size_t done = 0;
    switch (unit) {
    case 1:
        return sub_fixed<1>(src, dst, n);
    case 2:
        return sub_fixed<2>(src, dst, n);
#if defined(__SSE2__)
    case 3:
        done = sub_sse2<3>(src, dst, n);
        break;
    case 4:
        done = sub_sse2<4>(src, dst, n);
        break;
#else
    case 3:
        return sub_fixed<3>(src, dst, n);
    case 4:
        return sub_fixed<4>(src, dst, n);
#endif
    case 6:
        return sub_fixed<6>(src, dst, n);
    case 8:
        return sub_fixed<8>(src, dst, n);
    default:
        break;
    }
    for (size_t i = done; i < n; i++) dst[i] = uint8_t(src[i] + (i >= unit ? dst[i - unit] : 0));
}

void average(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n, size_t unit) {
    size_t done = 0;
    switch (unit) {
    case 1:
        return average_fixed<1>(src, dst, prior, n);
    case 2:
        return average_fixed<2>(src, dst, prior, n);
#if defined(__SSE2__)
    case 3:
        done = average_sse2<3>(src, dst, prior, n);
        break;
    case 4:
        done = average_sse2<4>(src, dst, prior, n);
        break;
#else
    case 3:
        return average_fixed<3>(src, dst, prior, n);
    case 4:
        return average_fixed<4>(src, dst, prior, n);
#endif
    case 6:
        return average_fixed<6>(src, dst, prior, n);
    case 8:
        return average_fixed<8>(src, dst, prior, n);
    default:
        break;
    }
    for (size_t i = done; i < n; i++)
        dst[i] = uint8_t(src[i] + (((i >= unit ? dst[i - unit] : 0) + prior[i]) >> 1));
}

void paeth_row(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n, size_t unit) {
    size_t done = 0;
    switch (unit) {
    case 1:
        return paeth_fixed<1>(src, dst, prior, n);
    case 2:
        return paeth_fixed<2>(src, dst, prior, n);
#if defined(__SSE2__)
    case 3:
        done = paeth_sse2<3>(src, dst, prior, n);
        break;
    case 4:
        done = paeth_sse2<4>(src, dst, prior, n);
        break;
#else
    case 3:
        return paeth_fixed<3>(src, dst, prior, n);
    case 4:
        return paeth_fixed<4>(src, dst, prior, n);
#endif
    case 6:
        return paeth_fixed<6>(src, dst, prior, n);
    case 8:
        return paeth_fixed<8>(src, dst, prior, n);
    default:
        break;
    }
    for (size_t i = done; i < n; i++)
        dst[i] = uint8_t(src[i] +
                         (i >= unit ? paeth(dst[i - unit], prior[i], prior[i - unit]) : prior[i]));
}

} // namespace

void png_unfilter(int type, const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n,
                  size_t unit) {
    switch (type) {
    case 1:
        sub(src, dst, n, unit);
        break;
    case 2:
        up(src, dst, prior, n);
        break;
    case 3:
        average(src, dst, prior, n, unit);
        break;
    case 4:
        paeth_row(src, dst, prior, n, unit);
        break;
    default:
        std::memcpy(dst, src, n);
        break;
    }
}
