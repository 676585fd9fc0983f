// PNG row stage: inflates the gathered IDAT data, reverses the per-row filters in place and
// stores each row into the page.
#include "core/mem.h"
#include "core/status.h"
#include "decoders/inflate.h"
#include "decoders/png_internal.h"
#include "image/image.h"
#include "core/services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes of one filtered row (without its filter byte) and the predictor distance.
struct RowShape {
    size_t bytes;
    size_t unit;
};

RowShape row_shape() {
    const Image* page = g_png.page;
    const size_t width = size_t(page->width);
    const int bits = page->bit_count;
    RowShape s;
    if (bits == 42) {
        // 16-bit RGB and RGBA: two bytes per sample.
        s.unit = g_png.rgba ? 8 : 6;
        s.bytes = width * s.unit;
        return s;
    }
    s.bytes = (size_t(bits) * width + 7) / 8;
    if (g_png.grey_alpha) s.bytes *= 2;
    if (g_png.rgba) s.bytes += width;
    s.unit = size_t(bits / 8 > 1 ? bits / 8 : 1) + (g_png.alpha ? 1 : 0);
    return s;
}

// Paeth predictor (PNG standard): the neighbour nearest to left + above - upper-left, ties
// going to left, then above. Written without branches so the compiler can use selects.
inline int paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return pa <= pb && pa <= pc ? a : bc;
}

// Average and Paeth carry a dependency from each pixel to the next; with the pixel size known
// at compile time the left and upper-left pixels stay in registers.
template <int U> void unfilter_average(uint8_t* row, const uint8_t* prior, size_t n) {
    int a[U] = {};
    for (size_t i = 0; i + U <= n; i += U)
        for (int k = 0; k < U; k++) {
            a[k] = uint8_t(row[i + k] + ((a[k] + prior[i + k]) >> 1));
            row[i + k] = uint8_t(a[k]);
        }
}

template <int U> void unfilter_paeth(uint8_t* row, const uint8_t* prior, size_t n) {
    int a[U] = {}, c[U] = {};
    for (size_t i = 0; i + U <= n; i += U)
        for (int k = 0; k < U; k++) {
            const int b = prior[i + k];
            a[k] = uint8_t(row[i + k] + paeth(a[k], b, c[k]));
            c[k] = b;
            row[i + k] = uint8_t(a[k]);
        }
}

void unfilter_average_any(uint8_t* row, const uint8_t* prior, size_t n, size_t unit) {
    for (size_t i = 0; i < unit && i < n; i++) row[i] = uint8_t(row[i] + (prior[i] >> 1));
    for (size_t i = unit; i < n; i++) row[i] = uint8_t(row[i] + ((row[i - unit] + prior[i]) >> 1));
}

void unfilter_paeth_any(uint8_t* row, const uint8_t* prior, size_t n, size_t unit) {
    for (size_t i = 0; i < unit && i < n; i++) row[i] = uint8_t(row[i] + prior[i]);
    for (size_t i = unit; i < n; i++)
        row[i] = uint8_t(row[i] + paeth(row[i - unit], prior[i], prior[i - unit]));
}

// Reverses one row's filter in place; `prior` is the unfiltered row above (zeros for the
// first row). Rows hold whole pixels except 16-bit rows, which are still whole units.
void unfilter(int type, uint8_t* row, const uint8_t* prior, size_t n, size_t unit) {
    switch (type) {
    case 1: // Sub
        for (size_t i = unit; i < n; i++) row[i] = uint8_t(row[i] + row[i - unit]);
        break;
    case 2: // Up
        for (size_t i = 0; i < n; i++) row[i] = uint8_t(row[i] + prior[i]);
        break;
    case 3: // Average
        if (unit == 1)
            unfilter_average<1>(row, prior, n);
        else if (unit == 3 && n % 3 == 0)
            unfilter_average<3>(row, prior, n);
        else if (unit == 4 && n % 4 == 0)
            unfilter_average<4>(row, prior, n);
        else
            unfilter_average_any(row, prior, n, unit);
        break;
    case 4: // Paeth
        if (unit == 1)
            unfilter_paeth<1>(row, prior, n);
        else if (unit == 3 && n % 3 == 0)
            unfilter_paeth<3>(row, prior, n);
        else if (unit == 4 && n % 4 == 0)
            unfilter_paeth<4>(row, prior, n);
        else
            unfilter_paeth_any(row, prior, n, unit);
        break;
    default:
        break;
    }
}

// Unpacks 1-, 2- or 4-bit pixels, high bits first, `per_byte` pixels from each of `bytes`.
void unpack(uint8_t* out, const uint8_t* in, size_t bytes, int bits, size_t last_count) {
    const int per_byte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (size_t i = 0; i < bytes; i++) {
        const unsigned b = in[i];
        const int count = i + 1 < bytes ? per_byte : int(last_count);
        for (int k = 0; k < count; k++) *out++ = uint8_t((b >> (8 - bits * (k + 1))) & mask);
    }
}

// Writes one unfiltered row into the page.
void store_row(uint8_t* dst, const uint8_t* src) {
    const Image* page = g_png.page;
    const size_t width = size_t(page->width);
    const size_t stride = size_t(page->stride);
    switch (page->bit_count) {
    case 1: {
        // The last byte's low four pixels would run past a stride that is not a multiple of 8.
        const size_t bytes = (width + 7) / 8;
        unpack(dst, src, bytes, 1, stride % 8 ? 4 : 8);
        break;
    }
    case 2:
        unpack(dst, src, (width + 3) / 4, 2, 4);
        break;
    case 4:
        unpack(dst, src, (width + 1) / 2, 4, 2);
        break;
    case 8:
        if (g_png.grey_alpha) {
            for (size_t x = 0; x < width; x++) dst[x] = src[2 * x];
        } else {
            std::memcpy(dst, src, width);
        }
        break;
    case 24:
    case 42: {
        // Colour planes one after the other; 16-bit samples give their high byte.
        const size_t step = page->bit_count == 42 ? 2 : 1;
        const size_t pixel = (g_png.rgba ? 4 : 3) * step;
        uint8_t* r = dst;
        uint8_t* g = dst + stride;
        uint8_t* b = dst + 2 * stride;
        for (size_t x = 0; x < width; x++, src += pixel) {
            r[x] = src[0];
            g[x] = src[step];
            b[x] = src[2 * step];
        }
        break;
    }
    default:
        break;
    }
}

// Lays the bKGD colour into rows [from, height), which decoding did not reach.
void fill_background(int from) {
    Image* page = g_png.page;
    if (!g_png.has_background) return;
    const int planes = page->planes;
    for (int y = from; y < page->height; y++) {
        uint8_t* row = image_row_write(page, y, 0);
        if (!row) return;
        for (int p = 0; p < planes; p++)
            std::memset(row + size_t(p) * size_t(page->stride), g_png.background[p],
                        size_t(page->width));
    }
}

void store_rows(const RowShape& shape) {
    Image* page = g_png.page;
    uint8_t* row = g_png.decompressed;
    const uint8_t* prior = nullptr;
    uint8_t* zeros = nullptr;
    if (!mem_alloc(zeros, shape.bytes + 1)) return;
    std::memset(zeros, 0, shape.bytes + 1);
    prior = zeros + 1;
    for (int y = 0; y < page->height; y++) {
        const int type = row[0];
        if (type >= 5) {
            char text[64];
            std::snprintf(text, sizeof text, "PNG : type de filtre %d a la ligne %d", type, y);
            log_line(text);
            g_status = ST_BAD_DATA;
            fill_background(y);
            break;
        }
        uint8_t* pixels = row + 1;
        if (type) unfilter(type, pixels, prior, shape.bytes, shape.unit);
        uint8_t* dst = image_row_write(page, y, 0);
        if (!dst) break;
        store_row(dst, pixels);
        prior = pixels;
        row += shape.bytes + 1;
    }
    mem_free(zeros);
}

} // namespace

long long png_filtered_size() {
    const RowShape shape = row_shape();
    return (long long)(shape.bytes + 1) * g_png.page->height;
}

void png_decode_rows() {
    Image* page = g_png.page;
    if (!g_png.used || !g_png.end_seen || !g_png.header_seen) {
        g_status = ST_BAD_DATA;
        return;
    }
    if (page->bit_count == 16) {
        g_status = ST_UNKNOWN_FORMAT;
        return;
    }
    const RowShape shape = row_shape();
    const long long needed = (long long)(shape.bytes + 1) * page->height;
    if (needed > (long long)g_png.used * PNG_MAX_INFLATE_RATIO + 1024) {
        // Not even the densest DEFLATE data of this size fills the image.
        g_status = ST_BAD_DATA;
        return;
    }
    const long long per_row = (long long)page->width * (g_png.alpha ? 2 : 1) * g_png.unit + 4;
    const long long size = per_row * page->height;
    if (size < needed || (unsigned long long)size > (unsigned long long)(size_t(-1) / 2)) {
        g_status = ST_NO_MEMORY;
        return;
    }
    if (!mem_alloc(g_png.decompressed, size_t(size))) return;
    const size_t produced =
        inflate_zlib(g_png.compressed, g_png.used, g_png.decompressed, size_t(size));
    if (g_status) return;
    // A stream that ends early leaves the remaining rows as zeros (filter None, value 0).
    if (produced < size_t(needed))
        std::memset(g_png.decompressed + produced, 0, size_t(needed) - produced);
    if (g_png.interlace) {
        g_status = ST_UNKNOWN_FORMAT;
        return;
    }
    store_rows(shape);
}
