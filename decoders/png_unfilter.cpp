// PNG row filters reversed (types 1 Sub, 2 Up, 3 Average, 4 Paeth as the PNG standard defines
// them). Sub, Average and Paeth carry a dependency from each pixel to the next: for pixels of
// 3 to 8 bytes SSE2 handles a whole pixel per step; otherwise the left and upper-left pixels
// stay in registers, with the pixel size known at compile time where it is common.
#include "decoders/png_internal.h"

#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

enum Filter { SUB = 1, AVERAGE = 3, PAETH = 4 };

// Paeth predictor: the neighbour nearest to left + above - upper-left, ties going to left,
// then above. Written without branches so the compiler can use selects.
inline int paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return pa <= pb && pa <= pc ? a : bc;
}

// The prediction of a byte from its left (a), upper (b) and upper-left (c) neighbours.
template <int F> inline int predict(int a, int b, int c) {
    if (F == SUB) return a;
    if (F == AVERAGE) return (a + b) >> 1;
    return paeth(a, b, c);
}

// Any pixel size, from byte `from` on; the first pixel's left neighbours are zeros.
template <int F>
void reverse_any(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n, size_t unit,
                 size_t from) {
    for (size_t i = from; i < n; i++) {
        const bool inside = i >= unit;
        dst[i] = uint8_t(src[i] + predict<F>(inside ? dst[i - unit] : 0, prior[i],
                                             inside ? prior[i - unit] : 0));
    }
}

// Pixels of U bytes with the left and upper-left pixel in registers; returns the bytes done
// (whole pixels).
template <int F, int U>
size_t reverse_fixed(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
    int a[U] = {}, c[U] = {};
    size_t i = 0;
    for (; i + U <= n; i += U)
        for (int k = 0; k < U; k++) {
            const int b = prior[i + k];
            dst[i + k] = uint8_t(a[k] = uint8_t(src[i + k] + predict<F>(a[k], b, c[k])));
            c[k] = b;
        }
    return i;
}

#if defined(__SSE2__)
// A pixel of U bytes moved as 4 or 8: the bytes past the pixel belong to the next one, whose
// own step writes them again. Steps stop while a whole move remains inside the row.
template <int U> inline __m128i load_pixel(const uint8_t* p) {
    if (U <= 4) {
        int v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(v);
    }
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
template <int U> inline void store_pixel(uint8_t* p, __m128i v) {
    if (U <= 4) {
        const int w = _mm_cvtsi128_si32(v);
        std::memcpy(p, &w, 4);
    } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    }
}

inline __m128i abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// Paeth on 16-bit lanes: the smallest distance picks left, then above, then upper-left.
inline __m128i paeth16(__m128i a, __m128i b, __m128i c) {
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(bc), pb = abs16(ac), pc = abs16(_mm_add_epi16(bc, ac));
    const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
    const __m128i take_a = _mm_cmpeq_epi16(pa, least);
    const __m128i take_b = _mm_andnot_si128(take_a, _mm_cmpeq_epi16(pb, least));
    const __m128i take_c = _mm_andnot_si128(_mm_or_si128(take_a, take_b), _mm_set1_epi16(-1));
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(take_a, a), _mm_and_si128(take_b, b)),
                        _mm_and_si128(take_c, c));
}

template <int F, int U>
size_t reverse_sse2(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
    constexpr size_t k_move = U <= 4 ? 4 : 8;
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero; // Paeth: 16-bit lanes
    size_t i = 0;
    for (; i + k_move <= n; i += U) {
        const __m128i x = load_pixel<U>(src + i);
        if (F == SUB) {
            a = _mm_add_epi8(x, a);
        } else if (F == AVERAGE) {
            // The rounding-up average made a floor one: minus the low bit of a ^ b.
            const __m128i b = load_pixel<U>(prior + i);
            const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
            a = _mm_add_epi8(x, _mm_sub_epi8(_mm_avg_epu8(a, b), odd));
        } else {
            const __m128i b = _mm_unpacklo_epi8(load_pixel<U>(prior + i), zero);
            a = _mm_and_si128(_mm_add_epi16(_mm_unpacklo_epi8(x, zero), paeth16(a, b, c)),
                              _mm_set1_epi16(0xFF));
            c = b;
        }
        store_pixel<U>(dst + i, F == PAETH ? _mm_packus_epi16(a, a) : a);
    }
    return i;
}
#endif

// Whole pixels of U bytes: SSE2 steps from 3 bytes up where there is SSE2, else registers.
template <int F, int U>
size_t reverse_pixels(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n) {
#if defined(__SSE2__)
    if constexpr (U >= 3) return reverse_sse2<F, U>(src, dst, prior, n);
#endif
    return reverse_fixed<F, U>(src, dst, prior, n);
}

template <int F>
void reverse(const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n, size_t unit) {
    using Pixels = size_t (*)(const uint8_t*, uint8_t*, const uint8_t*, size_t);
    // By pixel size in bytes: every size a PNG row has.
    static const Pixels k_by_unit[9] = {nullptr,
                                        reverse_pixels<F, 1>,
                                        reverse_pixels<F, 2>,
                                        reverse_pixels<F, 3>,
                                        reverse_pixels<F, 4>,
                                        nullptr,
                                        reverse_pixels<F, 6>,
                                        nullptr,
                                        reverse_pixels<F, 8>};
    const Pixels pixels = unit < 9 ? k_by_unit[unit] : nullptr;
    reverse_any<F>(src, dst, prior, n, unit, pixels ? pixels(src, dst, prior, n) : 0);
}

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

} // namespace

void png_unfilter(int type, const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n,
                  size_t unit) {
    switch (type) {
    case SUB:
        reverse<SUB>(src, dst, prior, n, unit);
        break;
    case 2:
        up(src, dst, prior, n);
        break;
    case AVERAGE:
        reverse<AVERAGE>(src, dst, prior, n, unit);
        break;
    case PAETH:
        reverse<PAETH>(src, dst, prior, n, unit);
        break;
    default:
        std::memcpy(dst, src, n);
        break;
    }
}
