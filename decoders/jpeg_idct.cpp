// Dequantisation and the inverse DCT of ITU T.81 A.3.3 in floating point, shared by
// sequential and progressive decoding.
//
// Blocks arrive dequantised in column order (row v, column u at 8u + v): the row pass then
// loads the same column of several rows as one vector, and no lane shuffling is needed
// before it.
#include "decoders/jpeg.h"

#include "core/charclass.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// A wider path for processors with AVX2, chosen at run time; the SSE2 path stays the default.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__SSE2__)
#define JPEG_IDCT_AVX2 1
#include <immintrin.h>
#endif

const uint8_t k_jpeg_zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const uint8_t k_jpeg_zigzag_cols[64] = {
    0,  8,  1,  2,  9,  16, 24, 17, 10, 3,  4,  11, 18, 25, 32, 40, 33, 26, 19, 12, 5,  6,
    13, 20, 27, 34, 41, 48, 56, 49, 42, 35, 28, 21, 14, 7,  15, 22, 29, 36, 43, 50, 57, 58,
    51, 44, 37, 30, 23, 31, 38, 45, 52, 59, 60, 53, 46, 39, 47, 54, 61, 62, 55, 63};

// ck = cos(k * pi / 16) / 2 in single precision; the products are formed in double.
static double c1, c2, c3, c4, c5, c6, c7;
static bool s_idct_ready;
#if defined(JPEG_IDCT_AVX2)
static bool s_idct_avx2;
#endif
static void live_tables_init();

void idct_init() {
    if (s_idct_ready) return;
    const double pi = 3.14159265358979323846;
    double* c[8] = {nullptr, &c1, &c2, &c3, &c4, &c5, &c6, &c7};
    for (int k = 1; k < 8; ++k) *c[k] = static_cast<float>(std::cos(k * pi / 16) / 2);
    live_tables_init();
#if defined(JPEG_IDCT_AVX2)
    __builtin_cpu_init();
    s_idct_avx2 = __builtin_cpu_supports("avx2");
#endif
    s_idct_ready = true;
}

// One 8-point pass: out[x] = even(x) + odd(x), out[7 - x] = even(x) - odd(x), each sum taken
// in the order written below. `Live` says how many leading inputs may be non-zero; the shorter
// forms drop only products with a zero input, whose sums are exact, so every form gives the
// same values as the full one (up to the sign of a zero, which no later step can see).
template <int Live, class T>
__attribute__((always_inline)) static inline void idct_1d(const T* in, T* out) {
    T x0 = in[0], x1 = in[1];
    T e0, e1, e2, e3, o0, o1, o2, o3;
    T t0 = c4 * x0;
    if constexpr (Live == 2) {
        e0 = e1 = e2 = e3 = t0;
        o0 = c1 * x1;
        o1 = c3 * x1;
        o2 = c5 * x1;
        o3 = c7 * x1;
    } else if constexpr (Live == 4) {
        T x2 = in[2], x3 = in[3];
        T t2 = c2 * x2, t3 = c6 * x2;
        e0 = t0 + t2;
        e3 = t0 - t2;
        e1 = t0 + t3;
        e2 = t0 - t3;
        o0 = c1 * x1 + c3 * x3;
        o1 = c3 * x1 - c7 * x3;
        o2 = c5 * x1 - c1 * x3;
        o3 = c7 * x1 - c5 * x3;
    } else {
        T x2 = in[2], x3 = in[3], x4 = in[4], x5 = in[5], x6 = in[6], x7 = in[7];
        T t1 = c4 * x4;
        T ea = t0 + t1, eb = t0 - t1;
        T t2 = c2 * x2 + c6 * x6;
        T t3 = c6 * x2 - c2 * x6;
        e0 = ea + t2;
        e3 = ea - t2;
        e1 = eb + t3;
        e2 = eb - t3;
        o0 = c1 * x1 + c3 * x3 + c5 * x5 + c7 * x7;
        o1 = c3 * x1 - c7 * x3 - c1 * x5 - c5 * x7;
        o2 = c5 * x1 - c1 * x3 + c7 * x5 + c3 * x7;
        o3 = c7 * x1 - c5 * x3 + c3 * x5 - c1 * x7;
    }
    out[0] = e0 + o0;
    out[7] = e0 - o0;
    out[1] = e1 + o1;
    out[6] = e1 - o1;
    out[2] = e2 + o2;
    out[5] = e2 - o2;
    out[3] = e3 + o3;
    out[4] = e3 - o3;
}

// The form for `live` leading inputs; inputs past `live` up to the form's size must be zero.
template <class T>
__attribute__((always_inline)) static inline void idct_1d_live(int live, const T* in, T* out) {
    if (live <= 2)
        idct_1d<2>(in, out);
    else if (live <= 4)
        idct_1d<4>(in, out);
    else
        idct_1d<8>(in, out);
}

// How many inputs the form for `live` reads.
static inline int live_read(int live) {
    return live <= 2 ? 2 : live <= 4 ? 4 : 8;
}

// A pair of doubles for running two rows or columns through the same operations.
typedef double Pair __attribute__((vector_size(16)));
typedef float FloatPair __attribute__((vector_size(8)));

// The byte clamping of a float sample: below 0.5 gives 0, from 254.5 up 255, else rounded.
static inline uint8_t clamp_sample(float v) {
    double d = static_cast<double>(v) + 0.5;
    d = d < 0.0 ? 0.0 : d;
    d = d > 255.0 ? 255.0 : d;
    return static_cast<uint8_t>(static_cast<int>(d));
}

// The same for a row of eight samples held as four pairs of doubles, rounded to float first.
#if defined(__SSE2__)
// SSE2 does the rounding to float, the clamping and the packing to bytes in a few
// instructions.
static inline __m128i clamp_to_ints(Pair v) {
    __m128d x = _mm_cvtps_pd(_mm_cvtpd_ps((__m128d)v));
    x = _mm_add_pd(x, _mm_set1_pd(0.5));
    x = _mm_min_pd(_mm_max_pd(x, _mm_setzero_pd()), _mm_set1_pd(255.0));
    return _mm_cvttpd_epi32(x);
}

static inline void clamp_row(Pair a, Pair b, Pair c, Pair d, uint8_t* out) {
    __m128i ab = _mm_unpacklo_epi64(clamp_to_ints(a), clamp_to_ints(b));
    __m128i cd = _mm_unpacklo_epi64(clamp_to_ints(c), clamp_to_ints(d));
    __m128i words = _mm_packs_epi32(ab, cd);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
}

// Two columns of two rows as doubles; row pass results go to `rows` rounded to float.
static inline Pair load_pair(const int32_t* p) {
    return (Pair)_mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

static inline void store_rows_2x2(Pair left, Pair right, float* row) {
    __m128 both = _mm_unpacklo_ps(_mm_cvtpd_ps((__m128d)left), _mm_cvtpd_ps((__m128d)right));
    _mm_storel_pi(reinterpret_cast<__m64*>(row), both);
    _mm_storeh_pi(reinterpret_cast<__m64*>(row + 8), both);
}

static inline Pair load_floats(const float* p) {
    return (Pair)_mm_cvtps_pd(
        _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
#else
typedef int32_t IntPair __attribute__((vector_size(8)));

static inline IntPair clamp_pair(Pair v) {
    Pair d = __builtin_convertvector(__builtin_convertvector(v, FloatPair), Pair) + 0.5;
    const Pair zero = {0.0, 0.0}, top = {255.0, 255.0};
    d = d < zero ? zero : d;
    d = d > top ? top : d;
    return __builtin_convertvector(d, IntPair);
}

static inline void clamp_row(Pair a, Pair b, Pair c, Pair d, uint8_t* out) {
    IntPair i[4] = {clamp_pair(a), clamp_pair(b), clamp_pair(c), clamp_pair(d)};
    for (int k = 0; k < 8; ++k) out[k] = static_cast<uint8_t>(i[k / 2][k % 2]);
}

static inline Pair load_pair(const int32_t* p) {
    return Pair{static_cast<double>(p[0]), static_cast<double>(p[1])};
}

static inline void store_rows_2x2(Pair left, Pair right, float* row) {
    row[0] = static_cast<float>(left[0]);
    row[1] = static_cast<float>(right[0]);
    row[8] = static_cast<float>(left[1]);
    row[9] = static_cast<float>(right[1]);
}

static inline Pair load_floats(const float* p) {
    return Pair{p[0], p[1]};
}

#endif

// For the first n zigzag coefficients: the rows they reach, and the columns they reach within
// each group of two and of four rows.
static uint8_t s_live_rows[65];
static uint8_t s_live_cols2[65][4];
static uint8_t s_live_cols4[65][2];

static void live_tables_init() {
    for (int n = 0; n <= 64; ++n) {
        for (int i = 0; i < n; ++i) {
            int row = k_jpeg_zigzag[i] >> 3, col = k_jpeg_zigzag[i] & 7;
            uint8_t rows = static_cast<uint8_t>(row + 1), cols = static_cast<uint8_t>(col + 1);
            s_live_rows[n] = std::max(s_live_rows[n], rows);
            s_live_cols2[n][row / 2] = std::max(s_live_cols2[n][row / 2], cols);
            s_live_cols4[n][row / 4] = std::max(s_live_cols4[n][row / 4], cols);
        }
    }
}

// Two rows or columns at a time: the same double operations lane by lane.
static void idct_block_pairs(const int32_t* coef, int count, uint8_t* out, int stride,
                             double shift) {
    int rows_in = s_live_rows[count];
    alignas(16) float rows[64];
    for (int r = 0; r < rows_in; r += 2) {
        // Column x of rows r and r + 1 sits at 8x + r.
        int live = s_live_cols2[count][r / 2];
        int read = live_read(live);
        Pair in[8], res[8];
        for (int x = 0; x < read; ++x) in[x] = load_pair(coef + 8 * x + r);
        idct_1d_live(live, in, res);
        for (int x = 0; x < 8; x += 2) store_rows_2x2(res[x], res[x + 1], rows + 8 * r + x);
    }
    // Rows past rows_in are zero and take no part.
    const Pair shift2 = {shift, shift};
    int rows_read = live_read(rows_in);
    Pair result[4][8];
    for (int x = 0; x < 8; x += 2) {
        Pair in[8];
        for (int y = 0; y < rows_in; ++y) in[y] = load_floats(rows + 8 * y + x);
        for (int y = rows_in; y < rows_read; ++y) in[y] = Pair{0.0, 0.0};
        Pair* column = result[x / 2];
        idct_1d_live(rows_in, in, column);
        for (int y = 0; y < 8; ++y) column[y] += shift2;
    }
    for (int y = 0; y < 8; ++y)
        clamp_row(result[0][y], result[1][y], result[2][y], result[3][y], out + y * stride);
}

#if defined(JPEG_IDCT_AVX2)
// Four rows or columns at a time.
typedef double Quad __attribute__((vector_size(32)));

// Only the top needs clamping here: a negative value truncates to a negative or zero integer
// (or to INT_MIN when far out of range), which the signed then unsigned packing makes 0.
__attribute__((target("avx2"))) static inline __m128i clamp_to_ints4(Quad v) {
    __m256d x = _mm256_cvtps_pd(_mm256_cvtpd_ps((__m256d)v));
    x = _mm256_min_pd(_mm256_add_pd(x, _mm256_set1_pd(0.5)), _mm256_set1_pd(255.0));
    return _mm256_cvttpd_epi32(x);
}

__attribute__((target("avx2"))) static void
idct_block_quads(const int32_t* coef, int count, uint8_t* out, int stride, double shift) {
    int rows_in = s_live_rows[count];
    alignas(16) float rows[64];
    for (int r = 0; r < rows_in; r += 4) {
        // Column x of rows r..r + 3 sits at 8x + r.
        int live = s_live_cols4[count][r / 4];
        int read = live_read(live);
        Quad in[8], res[8];
        for (int x = 0; x < read; ++x)
            in[x] = (Quad)_mm256_cvtepi32_pd(
                _mm_load_si128(reinterpret_cast<const __m128i*>(coef + 8 * x + r)));
        idct_1d_live(live, in, res);
        for (int x = 0; x < 8; x += 4) {
            __m128 a = _mm256_cvtpd_ps((__m256d)res[x]), b = _mm256_cvtpd_ps((__m256d)res[x + 1]);
            __m128 c = _mm256_cvtpd_ps((__m256d)res[x + 2]);
            __m128 d = _mm256_cvtpd_ps((__m256d)res[x + 3]);
            _MM_TRANSPOSE4_PS(a, b, c, d);
            _mm_store_ps(rows + 8 * r + x, a);
            _mm_store_ps(rows + 8 * (r + 1) + x, b);
            _mm_store_ps(rows + 8 * (r + 2) + x, c);
            _mm_store_ps(rows + 8 * (r + 3) + x, d);
        }
    }
    const Quad shift4 = {shift, shift, shift, shift};
    int rows_read = live_read(rows_in);
    __m128i ints[2][8];
    for (int half = 0; half < 2; ++half) {
        Quad in[8], res[8];
        for (int y = 0; y < rows_in; ++y)
            in[y] = (Quad)_mm256_cvtps_pd(_mm_load_ps(rows + 8 * y + 4 * half));
        for (int y = rows_in; y < rows_read; ++y) in[y] = Quad{0.0, 0.0, 0.0, 0.0};
        idct_1d_live(rows_in, in, res);
        for (int y = 0; y < 8; ++y) ints[half][y] = clamp_to_ints4(res[y] + shift4);
    }
    for (int y = 0; y < 8; y += 2) {
        __m128i words0 = _mm_packs_epi32(ints[0][y], ints[1][y]);
        __m128i words1 = _mm_packs_epi32(ints[0][y + 1], ints[1][y + 1]);
        __m128i bytes = _mm_packus_epi16(words0, words1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + y * stride), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (y + 1) * stride),
                         _mm_srli_si128(bytes, 8));
    }
}
#endif

// Samples of more than 8 bits (12-bit files): the same passes in double precision, then the
// sample's high 8 bits, rounded (the level shift of 2^(P - 1) becomes 128, so that colour
// differences stay centred).
static void idct_block_scaled(const int32_t* coef, uint8_t* out, int stride) {
    double scale = 1.0 / (1 << (g_jpeg_frame.precision - 8));
    double rows[64];
    for (int r = 0; r < 8; ++r) {
        double in[8];
        for (int x = 0; x < 8; ++x) in[x] = coef[8 * x + r]; // column order
        idct_1d<8>(in, rows + 8 * r);
    }
    for (int x = 0; x < 8; ++x) {
        double in[8], column[8];
        for (int y = 0; y < 8; ++y) in[y] = rows[8 * y + x];
        idct_1d<8>(in, column);
        for (int y = 0; y < 8; ++y) {
            double v = column[y] * scale + 128.5;
            out[y * stride + x] = static_cast<uint8_t>(v < 0.0 ? 0.0 : v > 255.0 ? 255.0 : v);
        }
    }
}

// Inverse DCT of a dequantised block in column order whose non-zero values all lie among the
// first `count` zigzag positions: rows first, then columns, samples clamped to bytes.
void idct_block(const int32_t* coef, int count, uint8_t* out, int stride) {
    if (g_jpeg_frame.precision != 8) {
        idct_block_scaled(coef, out, stride);
        return;
    }
    const double shift = 128.0;
    if (count <= 1) {
        // DC only: every row pass gives c4 * DC in row 0, every column pass the same value.
        float row = static_cast<float>(c4 * coef[0]);
        uint64_t v = clamp_sample(static_cast<float>(c4 * row + shift)) * 0x0101010101010101ull;
        for (int y = 0; y < 8; ++y) std::memcpy(out + y * stride, &v, 8);
        return;
    }
#if defined(JPEG_IDCT_AVX2)
    if (s_idct_avx2) {
        idct_block_quads(coef, count, out, stride, shift);
        return;
    }
#endif
    idct_block_pairs(coef, count, out, stride, shift);
}

// Dequantises the first `count` zigzag coefficients (the rest are zero) into column order.
void dequantise(const int16_t* zz, int count, int tq, int32_t* coef) {
    const uint16_t* q = g_jpeg_quant[tq];
    clear_coefficients(coef);
    for (int i = 0; i < count; ++i)
        coef[k_jpeg_zigzag_cols[i]] = static_cast<int32_t>(q[i]) * zz[i];
}
