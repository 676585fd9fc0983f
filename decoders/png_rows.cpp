// PNG row stage: streams the IDAT data through inflate a row at a time, reverses each row's
// filter and stores it into the page; interlaced images are decoded pass by pass into the
// page's rows. Only a few rows are held at any time, whatever the size of the image.
#include "core/mem.h"
#include "core/reader.h"
#include "core/services.h"
#include "core/status.h"
#include "decoders/inflate.h"
#include "decoders/packed_pixels.h"
#include "decoders/png_internal.h"
#include "image/image.h"

#include <cstdio>
#include <cstring>

namespace {

// Bytes of one filtered row (without its filter byte) and the predictor distance.
struct RowShape {
    unsigned long long bytes;
    size_t unit;
};

RowShape row_shape(unsigned long long width) {
    // Pixels of 1, 2 or 4 bits share bytes; wider ones are whole bytes, the predictor's unit.
    const unsigned long long bits =
        (unsigned long long)g_png.page->samples_per_pixel * (unsigned long long)g_png.depth;
    RowShape s;
    s.bytes = (bits * width + 7) / 8;
    s.unit = size_t(bits < 8 ? 1 : bits / 8);
    return s;
}

// Rows being worked on: the filtered row when the stream gave less than a row, the row above
// and the current one unfiltered, and a pass row's pixels before they are spread out.
struct RowBuffers {
    uint8_t* short_row;
    uint8_t* prior;
    uint8_t* current;
    uint8_t* pass_pixels;
    size_t pass_stride;
};

RowBuffers s_rows;

// The IDAT data still to read: the next chunk's file offset and the data left in the current
// one, read from `data_at`.
long long s_next_chunk;
long long s_data_at;
unsigned long long s_data_left;

// The first row with a bad filter type; reported once the stream has been read through, so
// that a fault of the compressed data further on wins as it would if all were inflated first.
int s_bad_filter_row;
int s_bad_filter_type;

size_t read_data(uint8_t* to, size_t room) {
    size_t given = 0;
    while (given < room && !g_status) {
        if (s_data_left == 0) {
            if (s_next_chunk >= g_png.end_chunk) break;
            // Chunks up to IEND were checked to lie inside the file when they were first read.
            rd_seek(s_next_chunk, 0);
            const uint32_t length = rd_u32be();
            uint8_t name[4];
            rd_read(name, 4);
            s_data_at = s_next_chunk + 8;
            s_next_chunk += 12 + (long long)length;
            if (std::memcmp(name, "IDAT", 4) == 0) s_data_left = length;
            continue;
        }
        size_t n = room - given;
        if (n > s_data_left) n = size_t(s_data_left);
        rd_seek(s_data_at, 0);
        rd_read(to + given, long(n));
        s_data_at += (long long)n;
        s_data_left -= n;
        given += n;
    }
    return g_status ? 0 : given;
}

// The next `count` bytes of inflate output; past the end of the stream the missing bytes are
// zeros (filter type None, value 0). Null on a status.
const uint8_t* next_filtered_row(size_t count) {
    size_t got = 0;
    const uint8_t* row = inflate_stream_take(count, &got);
    if (!row || got == count) return row;
    std::memcpy(s_rows.short_row, row, got);
    std::memset(s_rows.short_row + got, 0, count - got);
    return s_rows.short_row;
}

// Writes `width` pixels of an unfiltered row into planes of `stride` bytes at dst.
void store_pixels(uint8_t* dst, size_t stride, size_t width, const uint8_t* src) {
    if (g_png.depth == 16 && g_png.page->planes == 1) {
        // 16-bit grey, with or without alpha: the high byte of the grey sample.
        const size_t step = g_png.grey_alpha ? 4 : 2;
        for (size_t x = 0; x < width; x++) dst[x] = src[x * step];
        return;
    }
    switch (g_png.page->bit_count) {
    case 1:
    case 2:
    case 4:
        unpack_bits_msb(src, dst, int(width), g_png.page->bit_count);
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
        // 16-bit samples give their high byte; alpha is not kept.
        static const PixelOrder k_order[2][2] = {{ORDER_RGB, ORDER_RGBX},
                                                 {ORDER_RGB16, ORDER_RGBX16}};
        split_packed(k_order[g_png.depth == 16][g_png.rgba], src, dst, dst + stride,
                     dst + 2 * stride, int(width));
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

// Takes the next filtered row of `bytes` and unfilters it into s_rows.current; false when the
// decoding stops (a status, or a bad filter type, noted for image row y).
bool unfilter_next_row(size_t bytes, size_t unit, int y) {
    const uint8_t* row = next_filtered_row(bytes + 1);
    if (!row) return false;
    if (row[0] >= 5) {
        s_bad_filter_row = y;
        s_bad_filter_type = row[0];
        return false;
    }
    png_unfilter(row[0], row + 1, s_rows.current, s_rows.prior, bytes, unit);
    return true;
}

void swap_rows() {
    uint8_t* t = s_rows.prior;
    s_rows.prior = s_rows.current;
    s_rows.current = t;
}

void decode_plain(const RowShape& shape) {
    Image* page = g_png.page;
    const size_t bytes = size_t(shape.bytes);
    std::memset(s_rows.prior, 0, bytes);
    for (int y = 0; y < page->height; y++) {
        if (!unfilter_next_row(bytes, shape.unit, y)) return;
        // Every plane gets its whole width: the row need not be cleared first.
        uint8_t* planes[4];
        if (!image_row_overwrite(page, y, planes)) return;
        store_pixels(planes[0], size_t(page->stride), size_t(page->width), s_rows.current);
        swap_rows();
    }
}

// Adam7: first column and row, and their steps, of the seven passes.
struct Pass {
    int x0, y0, dx, dy;
};
const Pass k_passes[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

int pass_count(int size, int first, int step) {
    return size > first ? (size - first + step - 1) / step : 0;
}

void decode_interlaced() {
    Image* page = g_png.page;
    const size_t stride = size_t(page->stride);
    for (const Pass& pass : k_passes) {
        const int width = pass_count(page->width, pass.x0, pass.dx);
        const int height = pass_count(page->height, pass.y0, pass.dy);
        if (!width || !height) continue; // an empty pass has no rows, not even filter bytes
        const RowShape shape = row_shape((unsigned long long)width);
        const size_t bytes = size_t(shape.bytes);
        std::memset(s_rows.prior, 0, bytes);
        for (int r = 0; r < height; r++) {
            const int y = pass.y0 + r * pass.dy;
            if (!unfilter_next_row(bytes, shape.unit, y)) return;
            store_pixels(s_rows.pass_pixels, s_rows.pass_stride, size_t(width), s_rows.current);
            // The row holds the pixels of earlier passes; a row the store has put on disk comes
            // back whole for writing.
            uint8_t* dst = image_row_write(page, y, 0);
            if (!dst) return;
            for (int p = 0; p < page->planes; p++) {
                const uint8_t* from = s_rows.pass_pixels + size_t(p) * s_rows.pass_stride;
                uint8_t* to = dst + size_t(p) * stride + pass.x0;
                for (int i = 0; i < width; i++) to[size_t(i) * size_t(pass.dx)] = from[i];
            }
            swap_rows();
        }
    }
}

void free_rows() {
    mem_free(s_rows.short_row);
    mem_free(s_rows.prior);
    mem_free(s_rows.current);
    mem_free(s_rows.pass_pixels);
}

// Row buffers for rows of `bytes`, and for interlaced images the pixels of a pass row.
bool alloc_rows(size_t bytes) {
    free_rows();
    const size_t planes = size_t(g_png.page->planes);
    // The last pass's rows are as wide as the image; room for whole bytes of packed pixels.
    s_rows.pass_stride = (size_t(g_png.page->width) + 16) & ~size_t(7);
    return mem_alloc(s_rows.short_row, bytes + 1) && mem_alloc(s_rows.prior, bytes) &&
           mem_alloc(s_rows.current, bytes) &&
           (!g_png.interlace || mem_alloc(s_rows.pass_pixels, planes * s_rows.pass_stride));
}

} // namespace

bool png_filtered_size_exceeds(unsigned long long bytes) {
    const unsigned long long row = row_shape((unsigned long long)g_png.page->width).bytes + 1;
    return row > bytes / (unsigned long long)g_png.page->height;
}

void png_decode_rows() {
    Image* page = g_png.page;
    if (!g_png.data_bytes || !g_png.end_seen || !g_png.header_seen) {
        g_status = ST_BAD_DATA;
        return;
    }
    // Not even the densest DEFLATE data of this size fills the image.
    if (png_filtered_size_exceeds(g_png.data_bytes * PNG_MAX_INFLATE_RATIO + 1024)) {
        g_status = ST_BAD_DATA;
        return;
    }
    const RowShape shape = row_shape((unsigned long long)page->width);
    // Rows that could not be held whole are out of memory (the page's rows would be too).
    if (shape.bytes > (unsigned long long)(size_t(-1) / 8)) {
        g_status = ST_NO_MEMORY;
        return;
    }
    // The stream may give up to this much, as the whole-image buffer it was sized for held.
    const unsigned long long per_row =
        (unsigned long long)page->width * (g_png.alpha ? 2 : 1) * (unsigned long long)g_png.unit +
        4;
    s_next_chunk = g_png.first_data_chunk;
    s_data_left = 0;
    s_bad_filter_row = -1;
    inflate_stream_begin(read_data, per_row * (unsigned long long)page->height);
    if (!g_status && alloc_rows(size_t(shape.bytes))) {
        if (g_png.interlace == 0)
            decode_plain(shape);
        else if (g_png.interlace == 1)
            decode_interlaced();
        // Faults further on in the stream are reported as if it had been inflated whole.
        inflate_stream_finish();
    }
    if (!g_status && g_png.interlace > 1) g_status = ST_UNKNOWN_FORMAT;
    if (!g_status && s_bad_filter_row >= 0) {
        char text[64];
        std::snprintf(text, sizeof text, "PNG : type de filtre %d a la ligne %d", s_bad_filter_type,
                      s_bad_filter_row);
        log_line(text);
        g_status = ST_BAD_DATA;
        if (!g_png.interlace) fill_background(s_bad_filter_row);
    }
    inflate_stream_end();
    free_rows();
}
