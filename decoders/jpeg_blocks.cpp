// Block stages shared by sequential and progressive decoding: dequantisation, the inverse DCT
// of ITU T.81 A.3.3, colour conversion, and storage into the page through a band of rows that
// is copied into the page once per MCU row (or when a decoding call ends).
#include "decoders/jpeg.h"

#include "core/charclass.h"
#include "core/mem.h"
#include "core/status.h"
#include "image/image.h"

#include <cmath>
#include <cstring>

const uint8_t k_jpeg_zigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// ck = cos(k * pi / 16) / 2 in single precision; the products are formed in double.
static double c1, c2, c3, c4, c5, c6, c7;
static bool s_idct_ready;

void idct_init() {
    if (s_idct_ready) return;
    const double pi = 3.14159265358979323846;
    double* c[8] = {nullptr, &c1, &c2, &c3, &c4, &c5, &c6, &c7};
    for (int k = 1; k < 8; ++k) *c[k] = static_cast<float>(std::cos(k * pi / 16) / 2);
    s_idct_ready = true;
}

// One 8-point pass: out[x] = even(x) + odd(x), out[7 - x] = even(x) - odd(x).
// A vector with only its first value set gives c4 * x0 everywhere, exactly as the full sums
// do (the other products are zero), so the callers take that shortcut.
template <class In>
static inline void idct_1d(const In* in, int step, double shift, float* out, int out_step) {
    double x0 = in[0], x1 = in[step], x2 = in[2 * step], x3 = in[3 * step];
    double x4 = in[4 * step], x5 = in[5 * step], x6 = in[6 * step], x7 = in[7 * step];
    double t0 = c4 * x0, t1 = c4 * x4;
    double ea = t0 + t1, eb = t0 - t1;
    double t2 = c2 * x2 + c6 * x6;
    double t3 = c6 * x2 - c2 * x6;
    double e0 = ea + t2, e3 = ea - t2, e1 = eb + t3, e2 = eb - t3;
    double o0 = c1 * x1 + c3 * x3 + c5 * x5 + c7 * x7;
    double o1 = c3 * x1 - c7 * x3 - c1 * x5 - c5 * x7;
    double o2 = c5 * x1 - c1 * x3 + c7 * x5 + c3 * x7;
    double o3 = c7 * x1 - c5 * x3 + c3 * x5 - c1 * x7;
    out[0] = static_cast<float>(e0 + o0 + shift);
    out[7 * out_step] = static_cast<float>(e0 - o0 + shift);
    out[1 * out_step] = static_cast<float>(e1 + o1 + shift);
    out[6 * out_step] = static_cast<float>(e1 - o1 + shift);
    out[2 * out_step] = static_cast<float>(e2 + o2 + shift);
    out[5 * out_step] = static_cast<float>(e2 - o2 + shift);
    out[3 * out_step] = static_cast<float>(e3 + o3 + shift);
    out[4 * out_step] = static_cast<float>(e3 - o3 + shift);
}

static inline double level_shift() { return g_jpeg_frame.precision == 12 ? 2048.0 : 128.0; }

static void block_to_samples_stride(const int16_t* zz, int tq, uint8_t* out, int stride) {
    int32_t coef[64];
    const uint16_t* q = g_jpeg_quant[tq];
    for (int i = 0; i < 64; ++i) coef[k_jpeg_zigzag[i]] = static_cast<int32_t>(q[i]) * zz[i];

    // Rows first, then columns (the rows that are all zero stay zero).
    float rows[64];
    bool rows_below_zero = true;  // rows 1..7 all zero after the row pass
    for (int r = 0; r < 8; ++r) {
        const int32_t* in = coef + 8 * r;
        float* o = rows + 8 * r;
        if ((in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7]) == 0) {
            float v = static_cast<float>(c4 * in[0]);
            for (int x = 0; x < 8; ++x) o[x] = v;
            if (r > 0 && in[0] != 0) rows_below_zero = false;
        } else {
            idct_1d(in, 1, 0.0, o, 1);
            if (r > 0) rows_below_zero = false;
        }
    }
    double shift = level_shift();
    float cols[64];
    for (int x = 0; x < 8; ++x) {
        const float* in = rows + x;
        if (rows_below_zero) {
            float v = static_cast<float>(c4 * in[0] + shift);
            for (int y = 0; y < 8; ++y) cols[y * 8 + x] = v;
        } else {
            idct_1d(in, 8, shift, cols + x, 8);
        }
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) out[y * stride + x] = clamp_byte(cols[y * 8 + x]);
}

void block_to_samples(const int16_t* zz, int tq, uint8_t* out) {
    block_to_samples_stride(zz, tq, out, 8);
}

// ---- MCU sample areas and the output band ----

static uint8_t* s_samples[JPEG_MAX_COMPONENTS];  // (8 * H) x (8 * V) per frame component
static uint8_t* s_band;                          // planes x band rows x band stride
static int s_band_stride, s_band_rows_max, s_band_planes;
static int s_band_y0 = -1, s_band_rows;         // page rows held by the band
static int s_dirty_x0, s_dirty_x1;
static unsigned s_dirty_planes;

// Buffers are kept from one decoding call to the next while the geometry stays the same,
// so that restart intervals cost nothing and unfinished MCUs keep their samples.
static int s_sample_size[JPEG_MAX_COMPONENTS];
static size_t s_band_size;

bool mcu_buffers_begin(const JpegGeometry& g) {
    for (int c = 0; c < g_jpeg_frame.count; ++c) {
        const JpegComponent& k = g_jpeg_frame.comp[c];
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
    if (s_band && s_band_size == size && s_band_stride == stride &&
        s_band_rows_max == g.mcu_height)
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

uint8_t* mcu_samples(int comp) { return s_samples[comp]; }

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

void mcu_put_block(const JpegGeometry& g, int comp, int block, const int16_t* zz) {
    const JpegComponent& k = g_jpeg_frame.comp[comp];
    int stride = 8 * k.h;
    uint8_t* out = s_samples[comp] + (block / k.h) * 8 * stride + (block % k.h) * 8;
    block_to_samples_stride(zz, k.tq, out, stride);
}

static inline uint8_t to_byte_truncated(float v) {
    int i = static_cast<int>(v);
    return static_cast<uint8_t>(i < 0 ? 0 : i > 255 ? 255 : i);
}

// Samples are clamped to bytes before the conversion, as JFIF defines Y, Cb and Cr.
static inline void ycc_to_rgb(float y, float cb, float cr, uint8_t* r, uint8_t* g, uint8_t* b) {
    *r = to_byte_truncated(y + 1.402f * cr - 178.956f);
    *g = to_byte_truncated(y - 0.34414f * cb - 0.71414f * cr + 135.95984f);
    *b = to_byte_truncated(y + 1.772f * cb - 226.316f);
}

// Three components are YCbCr unless SPIFF said otherwise or an Adobe segment marks them RGB.
static bool frame_is_ycc() { return g_jpeg_colour_convert && g_jpeg_adobe_transform != 0; }

void mcu_store(const JpegGeometry& g, int mcu_index, const int* comps, int ncomps) {
    int col = mcu_index % g.mcu_cols, row = mcu_index / g.mcu_cols;
    int width = g_jpeg_frame.width < g_jpeg_page->width ? g_jpeg_frame.width : g_jpeg_page->width;
    int x0 = col * g.mcu_width;
    int x1 = x0 + g.mcu_width < width ? x0 + g.mcu_width : width;
    if (x1 <= x0) return;
    unsigned planes = 0;
    for (int i = 0; i < ncomps; ++i) planes |= 1u << comps[i];
    bool convert = ncomps == 3 && g_jpeg_frame.count == 3 && frame_is_ycc() &&
                   !g_jpeg_deferred_colour;
    if (convert) planes = 7;
    band_select(row * g.mcu_height, g.mcu_height, x0, x1, planes);
    int n = x1 - x0;

    if (convert) {
        const JpegComponent* k = g_jpeg_frame.comp;
        int fh0 = g.fh[0], fh1 = g.fh[1], fh2 = g.fh[2];
        for (int y = 0; y < g.mcu_height; ++y) {
            const uint8_t* sy = s_samples[0] + (y / g.fv[0]) * 8 * k[0].h;
            const uint8_t* sb = s_samples[1] + (y / g.fv[1]) * 8 * k[1].h;
            const uint8_t* sr = s_samples[2] + (y / g.fv[2]) * 8 * k[2].h;
            uint8_t* pr = band_row(0, y) + x0;
            uint8_t* pg = band_row(1, y) + x0;
            uint8_t* pb = band_row(2, y) + x0;
            if (fh0 == 1 && fh1 == 2 && fh2 == 2) {
                for (int x = 0; x < n; ++x)
                    ycc_to_rgb(sy[x], sb[x >> 1], sr[x >> 1], pr + x, pg + x, pb + x);
            } else if (fh0 == 1 && fh1 == 1 && fh2 == 1) {
                for (int x = 0; x < n; ++x)
                    ycc_to_rgb(sy[x], sb[x], sr[x], pr + x, pg + x, pb + x);
            } else {
                for (int x = 0; x < n; ++x)
                    ycc_to_rgb(sy[x / fh0], sb[x / fh1], sr[x / fh2], pr + x, pg + x, pb + x);
            }
        }
        return;
    }
    for (int i = 0; i < ncomps; ++i) {
        int c = comps[i];
        const JpegComponent& k = g_jpeg_frame.comp[c];
        int fh = g.fh[c];
        for (int y = 0; y < g.mcu_height; ++y) {
            const uint8_t* s = s_samples[c] + (y / g.fv[c]) * 8 * k.h;
            uint8_t* p = band_row(c, y) + x0;
            if (fh == 1) {
                std::memcpy(p, s, static_cast<size_t>(n));
            } else {
                for (int x = 0; x < n; ++x) p[x] = s[x / fh];
            }
        }
    }
}

void block_store(const JpegGeometry& g, int comp, int bx, int by, const int16_t* zz) {
    int fh = g.fh[comp], fv = g.fv[comp];
    int width = g_jpeg_frame.width < g_jpeg_page->width ? g_jpeg_frame.width : g_jpeg_page->width;
    int x0 = bx * 8 * fh;
    int x1 = x0 + 8 * fh < width ? x0 + 8 * fh : width;
    if (x1 <= x0) return;
    uint8_t samples[64];
    block_to_samples(zz, g_jpeg_frame.comp[comp].tq, samples);
    band_select(by * 8 * fv, 8 * fv, x0, x1, 1u << comp);
    int n = x1 - x0;
    for (int y = 0; y < 8 * fv; ++y) {
        const uint8_t* s = samples + (y / fv) * 8;
        uint8_t* p = band_row(comp, y) + x0;
        for (int x = 0; x < n; ++x) p[x] = s[x / fh];
    }
}

// ---- whole-page colour finishing ----

void page_finish_colour() {
    Image* page = g_jpeg_page;
    if (!page || g_status) return;
    bool ycc = page->planes == 3 && g_jpeg_frame.count == 3 && g_jpeg_deferred_colour &&
               frame_is_ycc();
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
                ycc_to_rgb(static_cast<float>(c), static_cast<float>(m), static_cast<float>(ye),
                           &r, &gr, &b);
                c = 255 - r;
                m = 255 - gr;
                ye = 255 - b;
            }
            if (g_jpeg_adobe_transform >= 0) {
                // Adobe files store every channel inverted (255 = no ink).
                c = 255 - c;
                m = 255 - m;
                ye = 255 - ye;
                k = 255 - k;
            }
            int r = 255 - c - k, gr = 255 - m - k, b = 255 - ye - k;
            p[0][x] = static_cast<uint8_t>(r < 0 ? 0 : r);
            p[1][x] = static_cast<uint8_t>(gr < 0 ? 0 : gr);
            p[2][x] = static_cast<uint8_t>(b < 0 ? 0 : b);
        }
    }
}
