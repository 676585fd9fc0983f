// GIF block handlers: extensions, image descriptor (one page per image, built over the
// previous page) and the end of an image (placing its rows, disposal and transparency).
#include "decoders/gif.h"

#include "core/lists.h"
#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "decoders/decode_limits.h"
#include "image/frame_control.h"
#include "core/store.h"
#include "image/image.h"
#include "core/services.h"

#include <cstring>

namespace {

constexpr int kDisposeToBackground = 2;
// An LZW code of at most 12 bits gives a string of at most 4096 bytes.
constexpr int64_t kMostPixelsPerByte = 4096 * 8 / 12 + 1;
constexpr uint16_t kEndlessLoop = 65535;

void refuse(const char* why) {
    log_line(why);
    g_status = ST_BAD_DATA;
}

Image* page_of(int id) {
    return obj_find_as<Image>(CLS_IMAGE, id);
}

// Rows of the previous page when the new image fits in it and the canvas is kept;
// otherwise the canvas colour.
void prepare_canvas(Image* page) {
    Image* previous = g_gif.previous_id ? page_of(g_gif.previous_id) : nullptr;
    bool keep = previous && g_gif.width <= previous->width && g_gif.height <= previous->height &&
                g_gif.disposal != kDisposeToBackground;
    // Rows pass through a buffer of our own: fetching the page's row may evict the other.
    size_t stride = static_cast<size_t>(page->stride);
    if (!mem_realloc(g_gif.row_buffer, stride)) return;
    uint8_t* row = g_gif.row_buffer;
    for (int y = 0; y < page->height && !g_status; y++) {
        memset(row, g_gif.background, stride);
        if (keep && y < previous->height) {
            const uint8_t* src = image_row_read(previous, y, 0);
            if (!src) return;
            memcpy(row, src,
                   static_cast<size_t>(previous->stride) < stride
                       ? static_cast<size_t>(previous->stride)
                       : stride);
        }
        uint8_t* dst = image_row_write(page, y, 0);
        if (!dst) return;
        memcpy(dst, row, stride);
    }
}

void read_local_or_global_table(Image* page, unsigned packed) {
    if (!(packed & 0x80)) {
        memcpy(page->palette, g_gif.global_table, sizeof page->palette);
        return;
    }
    memset(page->palette, 0, sizeof page->palette);
    int count = 1 << ((packed & 7) + 1);
    uint8_t triple[3];
    for (int i = 0; i < count && !g_status; i++) {
        rd_read(triple, 3);
        for (int c = 0; c < 3; c++) page->palette[c][i] = triple[c];
    }
}

// Image row that the i-th stored row lands on: the four GIF89a passes for interlaced images.
int interlaced_row(int i, int height) {
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++) {
        int rows = start[pass] < height ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (i < rows) return start[pass] + i * step[pass];
        i -= rows;
    }
    return height; // not reached for i < height
}

void transparent_to_background(Image* page) {
    uint8_t t = page->transparent[0];
    uint8_t bg = static_cast<uint8_t>(g_gif.background);
    for (int y = 0; y < page->height; y++) {
        uint8_t* row = image_row_write(page, y, 0);
        if (!row) return;
        for (int x = 0; x < page->width; x++)
            if (row[x] == t) row[x] = bg;
    }
}

} // namespace

void gif_skip(unsigned byte) {
    rd_seek(byte, 1);
}

void gif_plain_text_header(unsigned) {
    unsigned size = rd_byte();
    rd_seek(size, 1);
}

void gif_application_extension(unsigned) {
    int size = rd_sbyte();
    char name[11];
    rd_read(name, 11);
    if (g_status) return;
    if (size < 11) return refuse("GIF : extension d'application trop courte");
    rd_seek(size - 11, 1);
    if (memcmp(name, "NETSCAPE2.0", 11) != 0) return;
    for (;;) {
        unsigned length = rd_byte();
        if (g_status) return;
        if (length < 1) return refuse("GIF : bloc NETSCAPE2.0 sans nombre de boucles");
        unsigned kind = rd_byte();
        if ((kind & 7) == 1) {
            if (length < 3) return refuse("GIF : bloc de boucle trop court");
            unsigned loops = rd_u16le();
            g_gif.loop_count = static_cast<uint16_t>(loops ? loops : kEndlessLoop);
            rd_seek(length - 3, 1);
            return;
        }
        rd_seek(length - 1, 1);
    }
}

void gif_graphic_control_extension(unsigned) {
    int size = rd_sbyte();
    int id = 0;
    FrameControl* fc = static_cast<FrameControl*>(obj_create(CLS_FRAME_CONTROL, &id));
    if (!fc) return;
    fc->id = id;
    g_gif.frame_control_id = id;
    if (g_gif.list) list_add(g_gif.list, CLS_FRAME_CONTROL, id, fc);
    fc = obj_find_as<FrameControl>(CLS_FRAME_CONTROL, id);
    if (!fc) return;
    unsigned packed = rd_byte();
    fc->disposal = static_cast<uint8_t>((packed >> 2) & 7);
    fc->user_input = (packed >> 1) & 1;
    g_gif.transparent = packed & 1;
    fc->loop_count = g_gif.loop_count;
    fc->delay = static_cast<int16_t>(rd_u16le());
    g_gif.transparent_index = static_cast<uint8_t>(rd_byte());
    fc->transparent_flag = g_gif.transparent;
    fc->transparent_index = g_gif.transparent_index;
    if (g_status) return;
    if (size < 4) return refuse("GIF : extension de controle trop courte");
    rd_seek(size - 4, 1);
}

void gif_image_descriptor(unsigned) {
    g_gif.images++;
    Image* page = page_of(g_gif.page_id);
    if (page->full_store) {
        g_gif.previous_id = g_gif.page_id;
        int clone = 0;
        image_clone(g_gif.page_id, &clone);
        if (g_status) return;
        g_gif.page_id = clone;
        page = page_of(clone);
    }
    if (g_gif.frame_control_id) {
        FrameControl* fc = obj_find_as<FrameControl>(CLS_FRAME_CONTROL, g_gif.frame_control_id);
        if (fc) fc->page_id = fc->page_id_copy = g_gif.page_id;
    }
    page->transparent_flag = g_gif.transparent;
    if (g_gif.transparent) page->transparent[0] = g_gif.transparent_index;
    if (g_gif.list) {
        list_add(g_gif.list, CLS_IMAGE, g_gif.page_id, page);
        if (g_gif.page_id == g_gif.first_page_id) g_gif.first_page_listed = true;
        page = page_of(g_gif.page_id);
    }

    g_gif.left = static_cast<int>(rd_u16le());
    g_gif.top = static_cast<int>(rd_u16le());
    g_gif.width = static_cast<int>(rd_u16le());
    g_gif.height = static_cast<int>(rd_u16le());
    if (g_status) return;
    int grown_width = g_gif.width > page->width ? g_gif.width : page->width;
    int grown_height = g_gif.height > page->height ? g_gif.height : page->height;
    // Checked before the page changes, so a refused page keeps a size its rows match.
    if (grown_width <= 0 || grown_height <= 0) return refuse("GIF : image vide");
    if (!gif_page_size_fits(grown_width, grown_height)) return;
    if (grown_width != page->width || grown_height != page->height) {
        // The page grows to the image's size; an offset image is clipped to the page.
        page->width = grown_width;
        page->height = grown_height;
        page->stride = (page->width + 3) & ~3;
        gif_set_page_size(page->width, page->height);
        if (g_status) return;
    }
    // A cloned page comes with a copy of the previous rows; it gets fresh stores instead.
    if (page->full_store_id) obj_delete(CLS_TABLE, page->full_store_id);
    if (page->reduced_store_id) obj_delete(CLS_TABLE, page->reduced_store_id);
    page->full_store_id = page->reduced_store_id = 0;
    page->full_store = page->reduced_store = nullptr;
    image_alloc(page, page->width, page->height, 1, STORE_PLAIN);
    if (g_status) {
        g_status = ST_NO_MEMORY;
        return;
    }
    page = page_of(g_gif.page_id);
    prepare_canvas(page);
    if (g_status) return;

    unsigned packed = rd_byte();
    g_gif.interlaced = (packed >> 6) & 1;
    read_local_or_global_table(page, packed);
    unsigned m = rd_byte();
    if (g_status) return;
    if (m > 11) return refuse("GIF : taille de code LZW invalide");
    gif_lzw_start(static_cast<int>(m));
}

void gif_end_of_image(unsigned) {
    gif_lzw_finish();
    if (g_status) return;
    Image* page = page_of(g_gif.page_id);
    FrameControl* fc = g_gif.frame_control_id
                           ? obj_find_as<FrameControl>(CLS_FRAME_CONTROL, g_gif.frame_control_id)
                           : nullptr;
    Image* previous = g_gif.previous_id ? page_of(g_gif.previous_id) : nullptr;
    if (!previous && fc) g_gif.disposal = fc->disposal;
    if (g_gif.disposal == kDisposeToBackground && page->transparent_flag)
        transparent_to_background(page);
    else if (previous && page->transparent_flag)
        image_composite(previous, page, page);
    if (fc) g_gif.disposal = fc->disposal;
}

void gif_place_row(int i, const uint8_t* pixels, int count) {
    Image* page = page_of(g_gif.page_id);
    if (!page || g_gif.left >= page->width) return;
    int y = g_gif.top + (g_gif.interlaced ? interlaced_row(i, g_gif.height) : i);
    if (y >= page->height) return;
    int n = page->width - g_gif.left < count ? page->width - g_gif.left : count;
    uint8_t* dst = image_row_write(page, y, 0);
    if (dst) memcpy(dst + g_gif.left, pixels, static_cast<size_t>(n));
}

void gif_set_page_size(int64_t width, int64_t height) {
    g_gif.output_limit = ((width + 3) & ~int64_t(3)) * height + 1;
}

bool gif_page_size_fits(int64_t width, int64_t height) {
    if (!image_size_supplied(width, height, rd_size(), kMostPixelsPerByte)) {
        log_line("GIF : image trop grande pour la taille du fichier");
        g_status = ST_BAD_DATA;
        return false;
    }
    if (!image_size_acceptable(width, height, 1)) {
        log_line("GIF : image trop grande");
        g_status = ST_NO_MEMORY;
        return false;
    }
    return true;
}
