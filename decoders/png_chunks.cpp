// PNG chunk handlers and the table that finds them by chunk name.
#include "core/reader.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/png_internal.h"
#include "image/image.h"

#include <cstring>

namespace {

// tRNS and bKGD samples are 16-bit; the page keeps bytes.
uint8_t sample_to_byte(uint32_t v) {
    return v < 255 ? uint8_t(v) : v < 32768 ? 255 : 0;
}

void bad_data() {
    g_status = ST_BAD_DATA;
}

void chunk_header(uint32_t length) {
    if (length < 13 || g_png.header_seen) return bad_data();
    Image* page = g_png.page;
    const uint32_t width = rd_u32be();
    const uint32_t height = rd_u32be();
    const int depth = int(rd_byte());
    const int colour = int(rd_byte());
    const int compression = int(rd_byte());
    const int filter = int(rd_byte());
    g_png.interlace = int(rd_byte());
    if (g_status) return;
    if (width < 1 || height < 1 || width > 0x7fffffff || height > 0x7fffffff || depth < 1 ||
        depth > 16 || compression != 0 || filter != 0)
        return bad_data();

    static const int k_samples[7] = {1, 0, 3, 1, 2, 0, 4};
    if (colour > 6 || k_samples[colour] == 0) return bad_data();
    g_png.colour_type = colour;
    g_png.grey_alpha = colour == PNG_GREY_ALPHA;
    g_png.rgba = colour == PNG_RGBA;
    g_png.alpha = g_png.grey_alpha || g_png.rgba;
    page->width = int(width);
    page->height = int(height);
    page->bits_per_sample = depth;
    page->samples_per_pixel = k_samples[colour];

    g_png.depth = depth;
    const bool small_depth = depth == 1 || depth == 2 || depth == 4 || depth == 8;
    int planes = 1;
    switch (colour) {
    case PNG_GREY:
    case PNG_GREY_ALPHA:
        if (depth == 16) {
            // Kept as the high byte of each sample: an 8-bit grey page.
            g_png.unit = 2;
            page->bit_count = 8;
            palette_grey(page, 8);
        } else if (small_depth) {
            g_png.unit = 1;
            page->bit_count = depth;
            palette_grey(page, depth);
        } else {
            return bad_data();
        }
        break;
    case PNG_RGB:
    case PNG_RGBA:
        if (depth != 8 && depth != 16) return bad_data();
        g_png.unit = depth == 8 ? 4 : 8;
        page->bit_count = depth == 8 ? 24 : 42;
        planes = 3;
        break;
    default: // palette
        // Depths 3, 5, 6 and 7 have no row layout to store.
        if (!small_depth) return bad_data();
        g_png.unit = 1;
        page->bit_count = depth;
        break;
    }
    // A file far too small to inflate to this many rows is not worth rows of memory.
    if (png_filtered_size_exceeds((unsigned long long)g_png.file_size * PNG_MAX_INFLATE_RATIO +
                                  1024))
        return bad_data();
    image_alloc(page, int(width), int(height), planes, STORE_PLAIN);
    if (g_status) return;
    g_png.header_seen = true;
}

void chunk_palette(uint32_t length) {
    if (length % 3) return bad_data();
    uint8_t rgb[3];
    const uint32_t entries = length / 3 < 256 ? length / 3 : 256;
    for (uint32_t i = 0; i < entries; i++) {
        rd_read(rgb, 3);
        for (int c = 0; c < 3; c++) g_png.page->palette[c][i] = rgb[c];
    }
}

void chunk_data(uint32_t length) {
    if (g_png.first_data_chunk < 0) g_png.first_data_chunk = g_png.chunk_at;
    g_png.data_bytes += length;
}

void chunk_end(uint32_t) {
    g_png.end_seen = true;
    g_png.end_chunk = g_png.chunk_at;
}

void chunk_transparency(uint32_t length) {
    Image* page = g_png.page;
    uint32_t used = 0;
    switch (g_png.colour_type) {
    case PNG_GREY:
        used = 2;
        if (length < used) return bad_data();
        page->transparent[0] = sample_to_byte(rd_u16be());
        break;
    case PNG_RGB:
        used = 6;
        if (length < used) return bad_data();
        for (int c = 0; c < 3; c++) page->transparent[c] = sample_to_byte(rd_u16be());
        break;
    case PNG_PALETTE: {
        // The first fully transparent entry, else the most transparent one.
        const uint32_t count = length < 256 ? length : 256;
        int lowest = 255;
        for (used = 0; used < count;) {
            const int alpha = int(rd_byte());
            used++;
            if (alpha == 0) {
                page->transparent[0] = uint8_t(used - 1);
                break;
            }
            if (alpha < lowest) {
                lowest = alpha;
                page->transparent[0] = uint8_t(used - 1);
            }
        }
        break;
    }
    default: // alpha channels carry their own transparency
        break;
    }
    if (used) page->transparent_flag = 1;
}

void chunk_gamma(uint32_t length) {
    if (length < 4) return bad_data();
    g_png.page->gamma = rd_u32be() * 0.00001;
}

void chunk_background(uint32_t length) {
    if (!g_png.header_seen) return bad_data();
    switch (g_png.colour_type) {
    case PNG_PALETTE:
        if (length < 1) return bad_data();
        g_png.background[0] = uint8_t(rd_byte());
        break;
    case PNG_GREY:
    case PNG_GREY_ALPHA:
        if (length < 2) return bad_data();
        g_png.background[0] = sample_to_byte(rd_u16be());
        break;
    default:
        if (length < 6) return bad_data();
        for (int c = 0; c < 3; c++) g_png.background[c] = sample_to_byte(rd_u16be());
        break;
    }
    g_png.has_background = true;
}

void chunk_resolution(uint32_t length) {
    if (length < 9) return bad_data();
    double x = rd_u32be();
    double y = rd_u32be();
    const unsigned unit = rd_byte();
    if (unit > 1) return bad_data();
    if (unit == 1) {
        // Pixels per metre to pixels per inch.
        x = double(uint64_t(x * 0.0254));
        y = double(uint64_t(y * 0.0254));
    }
    g_png.page->x_resolution = x;
    g_png.page->y_resolution = y;
}

void chunk_skip(uint32_t) {}

struct ChunkEntry {
    char name[5];
    PngChunkHandler handler;
};

const ChunkEntry k_chunks[18] = {
    {"IHDR", chunk_header},     {"PLTE", chunk_palette},      {"IDAT", chunk_data},
    {"IEND", chunk_end},        {"tRNS", chunk_transparency}, {"gAMA", chunk_gamma},
    {"cHRM", chunk_skip},       {"sRGB", chunk_skip},         {"iCCP", chunk_skip},
    {"tEXt", chunk_skip},       {"zTXt", chunk_skip},         {"iTXt", chunk_skip},
    {"bKGD", chunk_background}, {"pHYs", chunk_resolution},   {"sBIT", chunk_skip},
    {"sPLT", chunk_skip},       {"hIST", chunk_skip},         {"tIME", chunk_skip},
};

} // namespace

PngChunkHandler png_chunk_handler(const uint8_t name[4]) {
    for (const ChunkEntry& c : k_chunks)
        if (std::memcmp(c.name, name, 4) == 0) return c.handler;
    return nullptr;
}
