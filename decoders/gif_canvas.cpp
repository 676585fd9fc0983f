// GIF page composition. Each page starts as the canvas the file's image is drawn on: the
// previous page with the previous image's disposal applied (its rectangle cleared to the
// canvas colour for disposal 2), or the canvas colour alone for the first page. The image's
// decoded pixels are then drawn over it; its transparent pixels and the pixels its data never
// reached leave the canvas showing.
//
// A page keeps palette indices while every pixel it holds has its colour in one palette: the
// previous page's palette is the image's own, or the image covers the whole page. Otherwise
// (images with their own colour tables drawn over others) the page keeps red, green and blue
// planes, so that each pixel keeps the colour it was drawn with.
#include "decoders/gif.h"

#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "image/image.h"

#include <cstring>

namespace {

bool covers_page(const Image* page) {
    return g_gif.left == 0 && g_gif.top == 0 && g_gif.width >= page->width &&
           g_gif.height >= page->height;
}

// The indices of the page below keep their colours on this page, and the canvas index is the
// white one of the global table wherever the canvas colour shows.
bool canvas_fits_palette(const Image* page, const Image* below) {
    bool global = std::memcmp(page->palette, g_gif.global_table, sizeof page->palette) == 0;
    if (!below) return global;
    if (below->planes != 1 || std::memcmp(below->palette, page->palette, sizeof page->palette) != 0)
        return false;
    bool uncovers =
        g_gif.below_cleared || page->width > below->width || page->height > below->height;
    return global || !uncovers;
}

// The entry nearest to white: the canvas of an image with its own table that covers the page
// shows only where the image's data falls short.
int nearest_white(const uint8_t palette[3][256]) {
    int best = 0;
    long best_distance = -1;
    for (int i = 0; i < 256; i++) {
        long r = 255 - palette[0][i], g = 255 - palette[1][i], b = 255 - palette[2][i];
        long d = r * r + g * g + b * b;
        if (best_distance < 0 || d < best_distance) best = i, best_distance = d;
    }
    return best;
}

// Columns [*from, *to) of page row y that the disposal of the image below clears; false when
// the row has none.
bool cleared_columns(int y, int width, int* from, int* to) {
    if (!g_gif.below_cleared || y < g_gif.cleared_top ||
        y >= g_gif.cleared_top + g_gif.cleared_height)
        return false;
    *from = g_gif.cleared_left;
    *to = g_gif.cleared_left + g_gif.cleared_width < width
              ? g_gif.cleared_left + g_gif.cleared_width
              : width;
    return *from < *to;
}

// Row y of the page below in this page's layout, into row (planes x stride bytes, already
// holding the canvas colour).
void copy_row_below(Image* below, int y, int width, uint8_t* row, size_t stride) {
    int n = width < below->width ? width : below->width;
    if (below->planes == 1 && !g_gif.rgb) {
        const uint8_t* src = image_row_read(below, y, 0);
        if (src) std::memcpy(row, src, static_cast<size_t>(n));
        return;
    }
    for (int p = 0; p < 3; p++) {
        const uint8_t* src = image_row_read(below, y, below->planes == 1 ? 0 : p);
        if (!src) return;
        uint8_t* out = row + p * stride;
        if (below->planes == 1)
            for (int x = 0; x < n; x++) out[x] = below->palette[p][src[x]];
        else
            std::memcpy(out, src, static_cast<size_t>(n));
    }
}

} // namespace

Image* gif_page(int id) {
    return obj_find_as<Image>(CLS_IMAGE, id);
}

int gif_canvas_planes(Image* page) {
    // Transparent pixels show the canvas, except on the first page, which keeps them as they
    // are unless its image is to be cleared to the canvas (disposal 2).
    g_gif.see_through =
        g_gif.transparent && (g_gif.previous_id || g_gif.disposal == GIF_DISPOSE_TO_BACKGROUND);
    bool covers = covers_page(page) && !g_gif.see_through;
    g_gif.canvas_in_palette =
        canvas_fits_palette(page, g_gif.below_id ? gif_page(g_gif.below_id) : nullptr);
    g_gif.rgb = !g_gif.canvas_in_palette && !covers;
    return g_gif.rgb ? 3 : 1;
}

void gif_canvas_fill(Image* page) {
    Image* below = g_gif.below_id ? gif_page(g_gif.below_id) : nullptr;
    size_t stride = static_cast<size_t>(page->stride);
    int planes = g_gif.rgb ? 3 : 1;
    if (!mem_realloc(g_gif.row_buffer, stride * planes)) return;
    uint8_t* row = g_gif.row_buffer;
    // The canvas is white: in colour planes exactly, in indices the global table's white
    // entry (or its nearest to white); an image that covers the page with its own table shows
    // its entry nearest to white where its data falls short.
    const uint8_t colour[3] = {255, 255, 255};
    int index = g_gif.canvas_in_palette ? g_gif.background : nearest_white(page->palette);
    bool keep_below = below && (g_gif.rgb || g_gif.canvas_in_palette);
    for (int y = 0; y < page->height && !g_status; y++) {
        if (g_gif.rgb)
            for (int p = 0; p < 3; p++) std::memset(row + p * stride, colour[p], stride);
        else
            std::memset(row, index, stride);
        if (keep_below && y < below->height) {
            copy_row_below(below, y, page->width, row, stride);
            if (g_status) return;
            int from, to;
            if (cleared_columns(y, page->width, &from, &to)) {
                const size_t count = static_cast<size_t>(to - from);
                if (g_gif.rgb)
                    for (int p = 0; p < 3; p++)
                        std::memset(row + p * stride + from, colour[p], count);
                else
                    std::memset(row + from, index, count);
            }
        }
        uint8_t* dst = image_row_write(page, y, 0);
        if (!dst) return;
        std::memcpy(dst, row, stride * planes);
    }
}

void gif_place_row(int i, const uint8_t* pixels, int count) {
    Image* page = gif_page(g_gif.page_id);
    if (!page || g_gif.left >= page->width || i >= g_gif.height) return;
    int y = g_gif.top + (g_gif.interlaced ? gif_interlaced_row(i, g_gif.height) : i);
    if (y >= page->height) return;
    int n = page->width - g_gif.left < count ? page->width - g_gif.left : count;
    uint8_t* row = image_row_write(page, y, 0);
    if (!row) return;
    row += g_gif.left;
    // Read once: the row's bytes could alias the decoder's fields.
    const bool see_through = g_gif.see_through, rgb = g_gif.rgb;
    const uint8_t t = g_gif.transparent_index;
    if (!rgb) {
        if (!see_through) {
            std::memcpy(row, pixels, static_cast<size_t>(n));
            return;
        }
        for (int x = 0; x < n; x++)
            if (pixels[x] != t) row[x] = pixels[x];
        return;
    }
    size_t stride = static_cast<size_t>(page->stride);
    for (int x = 0; x < n; x++) {
        uint8_t v = pixels[x];
        if (see_through && v == t) continue;
        for (int p = 0; p < 3; p++) row[x + p * stride] = page->palette[p][v];
    }
}
