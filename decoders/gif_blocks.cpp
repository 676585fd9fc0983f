// GIF block handlers: extensions, image descriptor (one page per image, made once everything
// before its data is read) and the end of an image (its decoded rows placed on the page, its
// disposal kept for the next page's canvas).
#include "decoders/gif.h"

#include "core/lists.h"
#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "decoders/decode_limits.h"
#include "decoders/decoder_start.h"
#include "image/frame_control.h"
#include "core/store.h"
#include "image/image.h"
#include "core/services.h"

#include <cstring>

namespace {

// An LZW code of at most 12 bits gives a string of at most 4096 bytes.
constexpr int64_t kMostPixelsPerByte = 4096 * 8 / 12 + 1;
constexpr uint16_t kEndlessLoop = 65535;

// The local colour table, or the global one (with its white canvas entry).
void read_local_or_global_table(uint8_t palette[3][256], unsigned packed) {
    if (!(packed & 0x80)) {
        memcpy(palette, g_gif.global_table, sizeof g_gif.global_table);
        return;
    }
    memset(palette, 0, sizeof g_gif.global_table);
    int count = 1 << ((packed & 7) + 1);
    uint8_t triple[3];
    for (int i = 0; i < count && !g_status; i++) {
        rd_read(triple, 3);
        for (int c = 0; c < 3; c++) palette[c][i] = triple[c];
    }
}

// A short image keeps the canvas where its data did not reach: the log says how short.
void log_short_image() {
    int64_t decoded = gif_lzw_output();
    int64_t pixels = static_cast<int64_t>(g_gif.width) * g_gif.height;
    if (decoded >= pixels) return;
    char text[120];
    snprintf(text, sizeof text, "GIF : image %d incomplete, %lld pixels sur %lld", g_gif.images,
             static_cast<long long>(decoded), static_cast<long long>(pixels));
    log_line(text);
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
    if (size < 11) return decoder_refuse(ST_BAD_DATA, "GIF : extension d'application trop courte");
    rd_seek(size - 11, 1);
    if (memcmp(name, "NETSCAPE2.0", 11) != 0) return;
    for (;;) {
        unsigned length = rd_byte();
        if (g_status) return;
        if (length < 1)
            return decoder_refuse(ST_BAD_DATA, "GIF : bloc NETSCAPE2.0 sans nombre de boucles");
        unsigned kind = rd_byte();
        if ((kind & 7) == 1) {
            if (length < 3) return decoder_refuse(ST_BAD_DATA, "GIF : bloc de boucle trop court");
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
    if (size < 4) return decoder_refuse(ST_BAD_DATA, "GIF : extension de controle trop courte");
    rd_seek(size - 4, 1);
}

int gif_interlaced_row(int i, int height) {
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++) {
        int rows = start[pass] < height ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (i < rows) return start[pass] + i * step[pass];
        i -= rows;
    }
    return height; // not reached for i < height
}

void gif_image_descriptor(unsigned) {
    // Everything up to the image data is read before a page is made: a file that ends here
    // leaves no page without its image.
    int left = static_cast<int>(rd_u16le());
    int top = static_cast<int>(rd_u16le());
    int width = static_cast<int>(rd_u16le());
    int height = static_cast<int>(rd_u16le());
    unsigned packed = rd_byte();
    uint8_t palette[3][256];
    read_local_or_global_table(palette, packed);
    unsigned m = rd_byte();
    if (g_status) return;
    if (m > 11) return decoder_refuse(ST_BAD_DATA, "GIF : taille de code LZW invalide");

    Image* page = gif_page(g_gif.page_id);
    int grown_width = width > page->width ? width : page->width;
    int grown_height = height > page->height ? height : page->height;
    // Checked before the page changes, so a refused page keeps a size its rows match.
    if (grown_width <= 0 || grown_height <= 0)
        return decoder_refuse(ST_BAD_DATA, "GIF : image vide");
    if (!gif_page_size_fits(grown_width, grown_height)) return;
    g_gif.images++;
    if (page->full_store) {
        g_gif.previous_id = g_gif.page_id;
        int clone = 0;
        image_clone(g_gif.page_id, &clone);
        if (g_status) return;
        g_gif.page_id = clone;
        page = gif_page(clone);
    }
    if (g_gif.frame_control_id) {
        FrameControl* control =
            obj_find_as<FrameControl>(CLS_FRAME_CONTROL, g_gif.frame_control_id);
        if (control) control->page_id = control->page_id_copy = g_gif.page_id;
    }
    if (g_gif.list) {
        list_add(g_gif.list, CLS_IMAGE, g_gif.page_id, page);
        if (g_gif.page_id == g_gif.first_page_id) g_gif.first_page_listed = true;
        page = gif_page(g_gif.page_id);
    }
    g_gif.left = left, g_gif.top = top, g_gif.width = width, g_gif.height = height;
    g_gif.interlaced = (packed >> 6) & 1;
    if (grown_width != page->width || grown_height != page->height) {
        // The page grows to the image's size; an offset image is clipped to the page.
        page->width = grown_width;
        page->height = grown_height;
        page->stride = (page->width + 3) & ~3;
        gif_set_page_size(page->width, page->height);
        if (g_status) return;
    }
    memcpy(page->palette, palette, sizeof page->palette);
    // The first image's own disposal is in force for it.
    FrameControl* fc = g_gif.frame_control_id
                           ? obj_find_as<FrameControl>(CLS_FRAME_CONTROL, g_gif.frame_control_id)
                           : nullptr;
    if (!g_gif.previous_id && fc) g_gif.disposal = fc->disposal;
    int planes = gif_canvas_planes(page);
    // Pixels of a page in colour planes are final; only an indexed page keeps its
    // transparent index.
    page->transparent_flag = g_gif.transparent && planes == 1;
    if (page->transparent_flag) page->transparent[0] = g_gif.transparent_index;
    // A cloned page comes with a copy of the previous rows; it gets fresh stores instead.
    if (page->full_store_id) obj_delete(CLS_TABLE, page->full_store_id);
    if (page->reduced_store_id) obj_delete(CLS_TABLE, page->reduced_store_id);
    page->full_store_id = page->reduced_store_id = 0;
    page->full_store = page->reduced_store = nullptr;
    if (planes > 1 && !image_size_acceptable(page->width, page->height, planes)) {
        log_line("GIF : image trop grande");
        g_status = ST_NO_MEMORY;
        return;
    }
    image_alloc(page, page->width, page->height, planes, STORE_PLAIN);
    if (g_status) {
        g_status = ST_NO_MEMORY;
        return;
    }
    gif_canvas_fill(gif_page(g_gif.page_id));
    if (g_status) return;
    gif_lzw_start(static_cast<int>(m));
    g_gif.in_image = true;
}

void gif_end_of_image(unsigned) {
    g_gif.in_image = false;
    gif_lzw_finish();
    if (!g_status) log_short_image();
    if (g_status) return;
    // The disposal of this image makes the next page's canvas: this page, with the image's
    // rectangle cleared for disposal 2; for disposal 3 the canvas this page was drawn on.
    FrameControl* fc = g_gif.frame_control_id
                           ? obj_find_as<FrameControl>(CLS_FRAME_CONTROL, g_gif.frame_control_id)
                           : nullptr;
    if (fc) g_gif.disposal = fc->disposal;
    if (g_gif.disposal == GIF_RESTORE_PREVIOUS) return;
    g_gif.below_id = g_gif.page_id;
    g_gif.below_cleared = g_gif.disposal == GIF_DISPOSE_TO_BACKGROUND;
    g_gif.cleared_left = g_gif.left, g_gif.cleared_top = g_gif.top;
    g_gif.cleared_width = g_gif.width, g_gif.cleared_height = g_gif.height;
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
