// Block output shared by sequential and progressive decoding: per-component MCU sample areas,
// colour conversion, and storage into the page through a band of rows that is copied into the
// page once per MCU row (or when a decoding call ends).
#include "decoders/jpeg.h"

#include "core/mem.h"
#include "core/status.h"
#include "image/image.h"

#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ---- MCU sample areas and the output band ----

static uint8_t* s_samples[JPEG_MAX_COMPONENTS]; // (8 * H) x (8 * V) per frame component
static uint8_t* s_band;                         // planes x band rows x band stride
static int s_band_stride, s_band_rows_max, s_band_planes;
static int s_band_y0 = -1, s_band_rows; // page rows held by the band
static int s_dirty_x0, s_dirty_x1;
static unsigned s_dirty_planes;

// Buffers are kept from one decoding call to the next while the geometry stays the same,
// so that restart intervals cost nothing and unfinished MCUs keep their samples.
static int s_sample_size[JPEG_MAX_COMPONENTS];
// Per MCU pixel row, the offset of the sample row that serves it in each component's area:
// found once per geometry rather than by a division per row and component.
constexpr int MCU_ROWS_MAX = 32; // 8 * the largest vertical sampling factor
static int s_sample_row[JPEG_MAX_COMPONENTS][MCU_ROWS_MAX];
static size_t s_band_size;

bool mcu_buffers_begin(const JpegGeometry& g) {
    for (int c = 0; c < g_jpeg_frame.count; ++c) {
        const JpegComponent& k = g_jpeg_frame.comp[c];
        for (int y = 0; y < g.mcu_height && y < MCU_ROWS_MAX; ++y)
            s_sample_row[c][y] = (y / g.fv[c]) * 8 * k.h;
        int size = 64 * k.h * k.v;
        if (s_samples[c] && s_sample_size[c] == size) continue;
        mem_free(s_samples[c]);
        if (!mem_alloc(s_samples[c], size)) return false;
        std::memset(s_samples[c], 0, size);
        s_sample_size[c] = size;
    }
    int width = g.mcu_cols * g.mcu_width;
    int stride = (width + 3) & ~3;
    size_t size = static_cast<size_t>(stride) * g.mcu_height * g_jpeg_frame.count;
    if (s_band && s_band_size == size && s_band_stride == stride && s_band_rows_max == g.mcu_height)
        return true;
    band_flush();
    mem_free(s_band);
    s_band_stride = stride;
    s_band_rows_max = g.mcu_height;
    s_band_planes = g_jpeg_frame.count;
    if (!mem_alloc(s_band, size)) return false;
    std::memset(s_band, 0, size);
    s_band_size = size;
    s_band_y0 = -1;
    s_band_rows = 0;
    s_dirty_planes = 0;
    return true;
}

void mcu_buffers_end() {
    for (auto& s : s_samples) mem_free(s);
    for (auto& n : s_sample_size) n = 0;
    mem_free(s_band);
    s_band_size = 0;
    s_band_y0 = -1;
    s_dirty_planes = 0;
}

static inline uint8_t* band_row(int plane, int y) {
    return s_band + (static_cast<size_t>(plane) * s_band_rows_max + y) * s_band_stride;
}

void band_flush() {
    Image* page = g_jpeg_page;
    if (s_dirty_planes && s_band_y0 >= 0 && page && !g_status) {
        int x1 = s_dirty_x1 < page->width ? s_dirty_x1 : page->width;
        for (int y = 0; y < s_band_rows && s_band_y0 + y < page->height && x1 > s_dirty_x0; ++y) {
            for (int p = 0; p < s_band_planes && p < page->planes; ++p) {
                if (!(s_dirty_planes & (1u << p))) continue;
                uint8_t* dst = image_row_write(page, s_band_y0 + y, p);
                if (!dst) return;
                std::memcpy(dst + s_dirty_x0, band_row(p, y) + s_dirty_x0,
                            static_cast<size_t>(x1 - s_dirty_x0));
            }
        }
    }
    s_dirty_planes = 0;
}

// Points the band at page rows [y0, y0 + rows), flushing what it held before.
static void band_select(int y0, int rows, int x0, int x1, unsigned planes) {
    if (y0 != s_band_y0 || rows != s_band_rows) {
        band_flush();
        s_band_y0 = y0;
        s_band_rows = rows;
    }
    if (!s_dirty_planes) {
        s_dirty_x0 = x0;
        s_dirty_x1 = x1;
    } else {
        if (x0 < s_dirty_x0) s_dirty_x0 = x0;
        if (x1 > s_dirty_x1) s_dirty_x1 = x1;
    }
    s_dirty_planes |= planes;
}

void mcu_put_coefficients(const JpegGeometry& g, int comp, int block, const int32_t* coef,
                          int count) {
    const JpegComponent& k = g_jpeg_frame.comp[comp];
    int stride = 8 * k.h;
    uint8_t* out = s_samples[comp] + (block / k.h) * 8 * stride + (block % k.h) * 8;
    idct_block(coef, count, out, stride);
}

void mcu_put_block(const JpegGeometry& g, int comp, int block, const int16_t* zz, int count) {
    alignas(16) int32_t coef[64];
    dequantise(zz, count, g_jpeg_frame.comp[comp].tq, coef);
    mcu_put_coefficients(g, comp, block, coef, count);
}

// YCbCr to RGB on byte samples (clamped first, as JFIF defines them):
//   R = Y + 1.402 Cr - 178.956, G = Y - 0.34414 Cb - 0.71414 Cr + 135.95984,
//   B = Y + 1.772 Cb - 226.316 (the constants hold the -128 offsets and +0.5 for rounding),
// truncated and clamped to 0..255. Y is whole, so R and B add a whole table value; G adds two
// terms in 16.16 fixed point (biased to stay positive before the shift).
static int s_r_cr[256], s_b_cb[256];
static int32_t s_g_cb[256], s_g_cr[256];
constexpr int G_BIAS = 1024;

// Table terms repeated in both halves of 32 bits, for chroma that serves two pixels.
static uint32_t s_r_pair[256], s_b_pair[256];

static inline uint32_t pair_of(int term) {
    return static_cast<uint32_t>(static_cast<uint16_t>(term)) * 0x10001u;
}

static void colour_terms_check();

void colour_tables_init() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    for (int v = 0; v < 256; ++v) {
        s_r_cr[v] = static_cast<int>(std::floor(1.402 * v - 178.956));
        s_b_cb[v] = static_cast<int>(std::floor(1.772 * v - 226.316));
        s_r_pair[v] = pair_of(s_r_cr[v]);
        s_b_pair[v] = pair_of(s_b_cb[v]);
        s_g_cb[v] = static_cast<int32_t>(std::lround((G_BIAS - 0.34414 * v + 135.95984) * 65536));
        s_g_cr[v] = static_cast<int32_t>(std::lround(-0.71414 * v * 65536));
    }
    colour_terms_check();
}

static inline uint8_t clamp_int(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

static inline void ycc_to_rgb(int y, int cb, int cr, uint8_t* r, uint8_t* g, uint8_t* b) {
    *r = clamp_int(y + s_r_cr[cr]);
    *g = clamp_int(y + ((s_g_cb[cb] + s_g_cr[cr]) >> 16) - G_BIAS);
    *b = clamp_int(y + s_b_cb[cb]);
}

// Eight pixels at a time in 16-bit lanes: sample + table term, clamped to 0..255.
typedef int16_t Short8 __attribute__((vector_size(16)));
typedef uint8_t Byte8 __attribute__((vector_size(8)));

static inline void add_clamp_store(Short8 y, Short8 d, uint8_t* out) {
    Short8 v = y + d;
#if defined(__SSE2__)
    // Packing with unsigned saturation is the clamp to 0..255.
    __m128i w = (__m128i)v;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(w, w));
#else
    const Short8 top = {255, 255, 255, 255, 255, 255, 255, 255};
    v &= ~(v < 0);
    Short8 high = v > top;
    v = (v & ~high) | (top & high);
    Byte8 b = __builtin_convertvector(v, Byte8);
    std::memcpy(out, &b, sizeof b);
#endif
}

// Lanes built in registers: filling an array lane by lane and loading it as a vector stalls.
typedef uint64_t Quad2 __attribute__((vector_size(16)));

static inline uint64_t lanes4(int a, int b, int c, int d) {
    return static_cast<uint64_t>(static_cast<uint16_t>(a)) |
           static_cast<uint64_t>(static_cast<uint16_t>(b)) << 16 |
           static_cast<uint64_t>(static_cast<uint16_t>(c)) << 32 |
           static_cast<uint64_t>(static_cast<uint16_t>(d)) << 48;
}

static inline Short8 lanes8(uint64_t low, uint64_t high) {
    return (Short8)(Quad2{low, high});
}

static inline int green_term(int cb, int cr) {
    return ((s_g_cb[cb] + s_g_cr[cr]) >> 16) - G_BIAS;
}

// Luma rows sharing one chroma row whose samples each serve two pixels (4:2:2 gives one luma
// row, 4:2:0 two): the chroma terms are found once for all of them.
static void convert_rows_shared_chroma(const uint8_t* const* sy, uint8_t* const* pr,
                                       uint8_t* const* pg, uint8_t* const* pb, int rows,
                                       const uint8_t* __restrict sb, const uint8_t* __restrict sr,
                                       int n) {
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const uint8_t* b = sb + (x >> 1);
        const uint8_t* r = sr + (x >> 1);
        Short8 dr = lanes8(s_r_pair[r[0]] | uint64_t(s_r_pair[r[1]]) << 32,
                           s_r_pair[r[2]] | uint64_t(s_r_pair[r[3]]) << 32);
        Short8 db = lanes8(s_b_pair[b[0]] | uint64_t(s_b_pair[b[1]]) << 32,
                           s_b_pair[b[2]] | uint64_t(s_b_pair[b[3]]) << 32);
        Short8 dg = lanes8(
            pair_of(green_term(b[0], r[0])) | uint64_t(pair_of(green_term(b[1], r[1]))) << 32,
            pair_of(green_term(b[2], r[2])) | uint64_t(pair_of(green_term(b[3], r[3]))) << 32);
        for (int i = 0; i < rows; ++i) {
            Byte8 yb;
            std::memcpy(&yb, sy[i] + x, sizeof yb);
            Short8 y = __builtin_convertvector(yb, Short8);
            add_clamp_store(y, dr, pr[i] + x);
            add_clamp_store(y, dg, pg[i] + x);
            add_clamp_store(y, db, pb[i] + x);
        }
    }
    for (; x < n; ++x)
        for (int i = 0; i < rows; ++i)
            ycc_to_rgb(sy[i][x], sb[x >> 1], sr[x >> 1], pr[i] + x, pg[i] + x, pb[i] + x);
}

// Full-width chroma.
static void convert_row_full_chroma(const uint8_t* __restrict sy, const uint8_t* __restrict sb,
                                    const uint8_t* __restrict sr, uint8_t* __restrict pr,
                                    uint8_t* __restrict pg, uint8_t* __restrict pb, int n) {
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        Byte8 yb;
        std::memcpy(&yb, sy + x, sizeof yb);
        Short8 y = __builtin_convertvector(yb, Short8);
        const uint8_t* b = sb + x;
        const uint8_t* r = sr + x;
        Short8 dr = lanes8(lanes4(s_r_cr[r[0]], s_r_cr[r[1]], s_r_cr[r[2]], s_r_cr[r[3]]),
                           lanes4(s_r_cr[r[4]], s_r_cr[r[5]], s_r_cr[r[6]], s_r_cr[r[7]]));
        Short8 db = lanes8(lanes4(s_b_cb[b[0]], s_b_cb[b[1]], s_b_cb[b[2]], s_b_cb[b[3]]),
                           lanes4(s_b_cb[b[4]], s_b_cb[b[5]], s_b_cb[b[6]], s_b_cb[b[7]]));
        Short8 dg = lanes8(lanes4(green_term(b[0], r[0]), green_term(b[1], r[1]),
                                  green_term(b[2], r[2]), green_term(b[3], r[3])),
                           lanes4(green_term(b[4], r[4]), green_term(b[5], r[5]),
                                  green_term(b[6], r[6]), green_term(b[7], r[7])));
        add_clamp_store(y, dr, pr + x);
        add_clamp_store(y, dg, pg + x);
        add_clamp_store(y, db, pb + x);
    }
    for (; x < n; ++x) ycc_to_rgb(sy[x], sb[x], sr[x], pr + x, pg + x, pb + x);
}

#if defined(__SSE2__)
// The colour terms by arithmetic on eight samples at once, 16-bit samples in, 16-bit terms out.
// Each form gives exactly the table value for every input: colour_terms_check tries them all
// at start-up, and the table code above is used instead if one ever differs.
//   R term = (22970 Cr + 128 * -22906) >> 14, B term = (29032 Cb + 267 * -13887) >> 14,
//   G term = (32 (-11277 Cb - 23401 Cr) + 7 Cb + 2 Cr + 142564235) >> 20.
constexpr int R_MUL = 22970, R_ONE = 128, R_ADD = -22906;
constexpr int B_MUL = 29032, B_ONE = 267, B_ADD = -13887;
constexpr int G_CB_HI = -11277, G_CR_HI = -23401, G_CB_LO = 7, G_CR_LO = 2, G_ADD = 142564235;
static bool s_terms_exact;

static void colour_terms_check() {
    bool exact = true;
    for (int v = 0; v < 256; ++v) {
        exact = exact && (R_MUL * v + R_ONE * R_ADD) >> 14 == s_r_cr[v];
        exact = exact && (B_MUL * v + B_ONE * B_ADD) >> 14 == s_b_cb[v];
    }
    for (int cb = 0; cb < 256 && exact; ++cb)
        for (int cr = 0; cr < 256; ++cr) {
            int g =
                ((G_CB_HI * cb + G_CR_HI * cr) * 32 + G_CB_LO * cb + G_CR_LO * cr + G_ADD) >> 20;
            exact = exact && g == green_term(cb, cr);
        }
    s_terms_exact = exact;
}

// Both 16-bit halves of each 32-bit lane: a in the low one, b in the high one.
static inline __m128i word_pairs(int a, int b) {
    return _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16 |
                                           static_cast<uint16_t>(a)));
}

static inline __m128i linear_terms(__m128i v, int mul, int one, int add) {
    __m128i k = _mm_set1_epi16(static_cast<int16_t>(one)), c = word_pairs(mul, add);
    __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(v, k), c), 14);
    __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(v, k), c), 14);
    return _mm_packs_epi32(lo, hi);
}

static inline __m128i green_half(__m128i cbcr) {
    __m128i high = _mm_madd_epi16(cbcr, word_pairs(G_CB_HI, G_CR_HI));
    __m128i low = _mm_madd_epi16(cbcr, word_pairs(G_CB_LO, G_CR_LO));
    __m128i sum = _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(high, 5), low), _mm_set1_epi32(G_ADD));
    return _mm_srai_epi32(sum, 20);
}

struct ColourTerms {
    __m128i r, g, b;
};

static inline ColourTerms colour_terms(__m128i cb, __m128i cr) {
    return {linear_terms(cr, R_MUL, R_ONE, R_ADD),
            _mm_packs_epi32(green_half(_mm_unpacklo_epi16(cb, cr)),
                            green_half(_mm_unpackhi_epi16(cb, cr))),
            linear_terms(cb, B_MUL, B_ONE, B_ADD)};
}

static inline __m128i widen8(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
}

static inline __m128i widen4(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), _mm_setzero_si128());
}

// Sample + term, clamped to 0..255 by the packing.
static inline void store16(__m128i y0, __m128i y1, __m128i t0, __m128i t1, uint8_t* out) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_packus_epi16(_mm_add_epi16(y0, t0), _mm_add_epi16(y1, t1)));
}

static inline void store8(__m128i y, __m128i t, uint8_t* out) {
    __m128i v = _mm_add_epi16(y, t);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
}

static void convert_rows_shared_chroma_sse2(const uint8_t* const* sy, uint8_t* const* pr,
                                            uint8_t* const* pg, uint8_t* const* pb, int rows,
                                            const uint8_t* sb, const uint8_t* sr, int n) {
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        ColourTerms t = colour_terms(widen8(sb + x / 2), widen8(sr + x / 2));
        // Each chroma term serves two neighbouring pixels.
        __m128i r0 = _mm_unpacklo_epi16(t.r, t.r), r1 = _mm_unpackhi_epi16(t.r, t.r);
        __m128i g0 = _mm_unpacklo_epi16(t.g, t.g), g1 = _mm_unpackhi_epi16(t.g, t.g);
        __m128i b0 = _mm_unpacklo_epi16(t.b, t.b), b1 = _mm_unpackhi_epi16(t.b, t.b);
        for (int i = 0; i < rows; ++i) {
            __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sy[i] + x));
            __m128i y0 = _mm_unpacklo_epi8(y, zero), y1 = _mm_unpackhi_epi8(y, zero);
            store16(y0, y1, r0, r1, pr[i] + x);
            store16(y0, y1, g0, g1, pg[i] + x);
            store16(y0, y1, b0, b1, pb[i] + x);
        }
    }
    for (; x + 8 <= n; x += 8) {
        ColourTerms t = colour_terms(widen4(sb + x / 2), widen4(sr + x / 2));
        __m128i r = _mm_unpacklo_epi16(t.r, t.r), g = _mm_unpacklo_epi16(t.g, t.g);
        __m128i b = _mm_unpacklo_epi16(t.b, t.b);
        for (int i = 0; i < rows; ++i) {
            __m128i y = widen8(sy[i] + x);
            store8(y, r, pr[i] + x);
            store8(y, g, pg[i] + x);
            store8(y, b, pb[i] + x);
        }
    }
    for (; x < n; ++x)
        for (int i = 0; i < rows; ++i)
            ycc_to_rgb(sy[i][x], sb[x >> 1], sr[x >> 1], pr[i] + x, pg[i] + x, pb[i] + x);
}

static void convert_row_full_chroma_sse2(const uint8_t* sy, const uint8_t* sb, const uint8_t* sr,
                                         uint8_t* pr, uint8_t* pg, uint8_t* pb, int n) {
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        ColourTerms t = colour_terms(widen8(sb + x), widen8(sr + x));
        __m128i y = widen8(sy + x);
        store8(y, t.r, pr + x);
        store8(y, t.g, pg + x);
        store8(y, t.b, pb + x);
    }
    for (; x < n; ++x) ycc_to_rgb(sy[x], sb[x], sr[x], pr + x, pg + x, pb + x);
}
#else
static void colour_terms_check() {}
#endif

// Three components are YCbCr unless SPIFF said otherwise or an Adobe segment marks them RGB.
static bool frame_is_ycc() {
    return g_jpeg_colour_convert && g_jpeg_adobe_transform != 0;
}

void mcu_store(const JpegGeometry& g, int mcu_index, const int* comps, int ncomps) {
    int col = mcu_index % g.mcu_cols, row = mcu_index / g.mcu_cols;
    int width = g_jpeg_frame.width < g_jpeg_page->width ? g_jpeg_frame.width : g_jpeg_page->width;
    int x0 = col * g.mcu_width;
    int x1 = x0 + g.mcu_width < width ? x0 + g.mcu_width : width;
    if (x1 <= x0) return;
    unsigned planes = 0;
    for (int i = 0; i < ncomps; ++i) planes |= 1u << comps[i];
    bool convert =
        ncomps == 3 && g_jpeg_frame.count == 3 && frame_is_ycc() && !g_jpeg_deferred_colour;
    if (convert) planes = 7;
    band_select(row * g.mcu_height, g.mcu_height, x0, x1, planes);
    int n = x1 - x0;

    if (convert) {
        int fh0 = g.fh[0], fh1 = g.fh[1], fh2 = g.fh[2];
        bool halved = fh0 == 1 && fh1 == 2 && fh2 == 2 && g.fv[1] == g.fv[2];
        int step = halved && g.fv[0] == 1 ? g.fv[1] : 1; // luma rows per chroma row
        for (int y = 0; y < g.mcu_height; y += step) {
            const uint8_t* sb = s_samples[1] + s_sample_row[1][y];
            const uint8_t* sr = s_samples[2] + s_sample_row[2][y];
            if (halved) {
                const uint8_t* sy[4];
                uint8_t *pr[4], *pg[4], *pb[4];
                for (int i = 0; i < step; ++i) {
                    sy[i] = s_samples[0] + s_sample_row[0][y + i];
                    pr[i] = band_row(0, y + i) + x0;
                    pg[i] = band_row(1, y + i) + x0;
                    pb[i] = band_row(2, y + i) + x0;
                }
#if defined(__SSE2__)
                if (s_terms_exact) {
                    convert_rows_shared_chroma_sse2(sy, pr, pg, pb, step, sb, sr, n);
                    continue;
                }
#endif
                convert_rows_shared_chroma(sy, pr, pg, pb, step, sb, sr, n);
                continue;
            }
            const uint8_t* sy = s_samples[0] + s_sample_row[0][y];
            uint8_t* pr = band_row(0, y) + x0;
            uint8_t* pg = band_row(1, y) + x0;
            uint8_t* pb = band_row(2, y) + x0;
            if (fh0 == 1 && fh1 == 1 && fh2 == 1) {
#if defined(__SSE2__)
                if (s_terms_exact) {
                    convert_row_full_chroma_sse2(sy, sb, sr, pr, pg, pb, n);
                    continue;
                }
#endif
                convert_row_full_chroma(sy, sb, sr, pr, pg, pb, n);
            } else {
                for (int x = 0; x < n; ++x)
                    ycc_to_rgb(sy[x / fh0], sb[x / fh1], sr[x / fh2], pr + x, pg + x, pb + x);
            }
        }
        return;
    }
    for (int i = 0; i < ncomps; ++i) {
        int c = comps[i];
        int fh = g.fh[c];
        for (int y = 0; y < g.mcu_height; ++y) {
            const uint8_t* s = s_samples[c] + s_sample_row[c][y];
            uint8_t* p = band_row(c, y) + x0;
            if (fh == 1) {
                std::memcpy(p, s, static_cast<size_t>(n));
            } else {
                for (int x = 0; x < n; ++x) p[x] = s[x / fh];
            }
        }
    }
}

void block_store(const JpegGeometry& g, int comp, int bx, int by, const int32_t* coef, int count) {
    int fh = g.fh[comp], fv = g.fv[comp];
    int width = g_jpeg_frame.width < g_jpeg_page->width ? g_jpeg_frame.width : g_jpeg_page->width;
    int x0 = bx * 8 * fh;
    int x1 = x0 + 8 * fh < width ? x0 + 8 * fh : width;
    if (x1 <= x0) return;
    band_select(by * 8 * fv, 8 * fv, x0, x1, 1u << comp);
    if (fh == 1 && fv == 1) {
        // The band is whole blocks wide: the samples go straight into it.
        idct_block(coef, count, band_row(comp, 0) + x0, s_band_stride);
        return;
    }
    uint8_t samples[64];
    idct_block(coef, count, samples, 8);
    int n = x1 - x0;
    for (int y = 0; y < 8 * fv; ++y) {
        const uint8_t* s = samples + (y / fv) * 8;
        uint8_t* p = band_row(comp, y) + x0;
        for (int x = 0; x < n; ++x) p[x] = s[x / fh];
    }
}

// ---- whole-page colour finishing ----

void page_fill_plane(int plane, uint8_t value) {
    Image* page = g_jpeg_page;
    for (int y = 0; y < page->height && plane < page->planes; ++y) {
        uint8_t* row = image_row_write(page, y, plane);
        if (!row) return;
        std::memset(row, value, static_cast<size_t>(page->width));
    }
}

void page_finish_colour() {
    Image* page = g_jpeg_page;
    if (!page || g_status) return;
    bool ycc =
        page->planes == 3 && g_jpeg_frame.count == 3 && g_jpeg_deferred_colour && frame_is_ycc();
    bool four = page->planes == 4 && g_jpeg_frame.count == 4;
    if (!ycc && !four) return;
    for (int y = 0; y < page->height; ++y) {
        uint8_t* p[4];
        for (int i = 0; i < page->planes; ++i) {
            p[i] = image_row_write(page, y, i);
            if (!p[i]) return;
        }
        for (int x = 0; x < page->width; ++x) {
            if (ycc) {
                ycc_to_rgb(p[0][x], p[1][x], p[2][x], p[0] + x, p[1] + x, p[2] + x);
                continue;
            }
            int c = p[0][x], m = p[1][x], ye = p[2][x], k = p[3][x];
            if (g_jpeg_adobe_transform == 2) {
                // YCCK: the colour part converts to RGB, and C, M, Y are its complements.
                uint8_t r, gr, b;
                ycc_to_rgb(c, m, ye, &r, &gr, &b);
                c = 255 - r;
                m = 255 - gr;
                ye = 255 - b;
            }
            // Channels are stored inverted (255 = no ink) as Adobe writes them; files without
            // Adobe's segment are taken the same way, as libjpeg and the tools built on it do.
            // Ink multiplies: each channel is what the colour ink and the black leave of it.
            p[0][x] = static_cast<uint8_t>((c * k + 127) / 255);
            p[1][x] = static_cast<uint8_t>((m * k + 127) / 255);
            p[2][x] = static_cast<uint8_t>((ye * k + 127) / 255);
        }
    }
}
