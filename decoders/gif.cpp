// GIF decoder entry: logical screen, global colour table, white canvas, and the block
// parser, a (state, byte class) table of handlers and next states.
#include "decoders/gif.h"

#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "decoders/decoders.h"
#include "image/image.h"
#include "core/services.h"

#include <cstring>

GifDecoder g_gif;

namespace {

constexpr long kReaderWindow = 1 << 16;

enum ByteClass : uint8_t {
    BC_OTHER,
    BC_EXTENSION,
    BC_TERMINATOR,
    BC_APPLICATION,
    BC_COMMENT,
    BC_GRAPHIC_CONTROL,
    BC_IMAGE_DESCRIPTOR,
    BC_PLAIN_TEXT,
    BC_TRAILER,
    BC_COUNT
};

enum ParserState : uint8_t {
    TOP_LEVEL,
    EXTENSION_LABEL,
    EXPECT_TERMINATOR,
    IMAGE_DATA,
    SKIP_SUB_BLOCKS,
    STATE_COUNT
};

using Handler = void (*)(unsigned byte);

struct Transition {
    Handler handler;
    ParserState next;
};

void nothing(unsigned) {}
void stop(unsigned) {
    g_gif.end_flag = 1;
}
void bad_byte(unsigned byte) {
    char text[64];
    snprintf(text, sizeof text, "GIF : octet 0x%02X inattendu", byte);
    log_line(text);
    g_gif.end_flag = -1;
    g_status = ST_BAD_DATA;
}

struct ByteClasses {
    uint8_t of[256];
    ByteClasses() {
        memset(of, BC_OTHER, sizeof of);
        of[0x21] = BC_EXTENSION;
        of[0x00] = BC_TERMINATOR;
        of[0xFF] = BC_APPLICATION;
        of[0xFE] = BC_COMMENT;
        of[0xF9] = BC_GRAPHIC_CONTROL;
        of[0x2C] = BC_IMAGE_DESCRIPTOR;
        of[0x01] = BC_PLAIN_TEXT;
        of[0x3B] = BC_TRAILER;
    }
};
const ByteClasses k_classes;

// Rows of every state start as "bad byte, back to TopLevel"; the allowed moves are filled in.
struct TransitionTable {
    Transition at[STATE_COUNT][BC_COUNT];
    void allow(ParserState s, ByteClass c, Handler h, ParserState next) { at[s][c] = {h, next}; }
    void allow_all(ParserState s, Handler h, ParserState next) {
        for (auto& t : at[s]) t = {h, next};
    }
    TransitionTable() {
        for (auto& row : at)
            for (auto& t : row) t = {bad_byte, TOP_LEVEL};
        allow(TOP_LEVEL, BC_EXTENSION, nothing, EXTENSION_LABEL);
        allow(TOP_LEVEL, BC_TERMINATOR, nothing, TOP_LEVEL);
        allow(TOP_LEVEL, BC_IMAGE_DESCRIPTOR, gif_image_descriptor, IMAGE_DATA);
        allow(TOP_LEVEL, BC_TRAILER, stop, TOP_LEVEL);
        allow(EXTENSION_LABEL, BC_APPLICATION, gif_application_extension, SKIP_SUB_BLOCKS);
        allow(EXTENSION_LABEL, BC_COMMENT, nothing, SKIP_SUB_BLOCKS);
        allow(EXTENSION_LABEL, BC_GRAPHIC_CONTROL, gif_graphic_control_extension,
              EXPECT_TERMINATOR);
        allow(EXTENSION_LABEL, BC_PLAIN_TEXT, gif_plain_text_header, SKIP_SUB_BLOCKS);
        allow(EXPECT_TERMINATOR, BC_TERMINATOR, nothing, TOP_LEVEL);
        allow_all(IMAGE_DATA, gif_image_data, IMAGE_DATA);
        allow(IMAGE_DATA, BC_TERMINATOR, gif_end_of_image, TOP_LEVEL);
        allow_all(SKIP_SUB_BLOCKS, gif_skip, SKIP_SUB_BLOCKS);
        allow(SKIP_SUB_BLOCKS, BC_TERMINATOR, nothing, TOP_LEVEL);
    }
};
const TransitionTable k_transitions;

void run_block_loop() {
    ParserState state = TOP_LEVEL;
    for (;;) {
        unsigned byte = rd_byte();
        if (g_status) return; // no trailer: the file ends inside the block structure
        const Transition& t = k_transitions.at[state][k_classes.of[byte]];
        t.handler(byte);
        if (g_status || g_gif.end_flag) return;
        state = t.next;
    }
}

// The canvas shows white: an exact white entry, else the nearest one of a full table, else
// white appended after the table's last entry.
int white_canvas_index(int count) {
    int best = 0;
    long best_distance = -1;
    for (int i = 0; i < count; i++) {
        long r = 255 - g_gif.global_table[0][i], g = 255 - g_gif.global_table[1][i],
             b = 255 - g_gif.global_table[2][i];
        long d = r * r + g * g + b * b;
        if (d == 0) return i;
        if (best_distance < 0 || d < best_distance) best = i, best_distance = d;
    }
    if (count >= 256) return best;
    for (int c = 0; c < 3; c++) g_gif.global_table[c][count] = 255;
    return count;
}

int version_name_index() {
    char version[8] = {};
    rd_seek(3, 0);
    rd_scan("%3s", version);
    if (!strcmp(version, "87a")) return 5;
    if (!strcmp(version, "89a")) return 6;
    return 7;
}

void read_screen_and_table(int page_id) {
    Image* page = obj_find_as<Image>(CLS_IMAGE, page_id);
    page->format_name_index = version_name_index();
    if (g_status) return;
    page->width = static_cast<int>(rd_u16le());
    page->height = static_cast<int>(rd_u16le());
    unsigned packed = rd_byte();
    if (g_status) return;
    int bits = (packed & 7) + 1;
    page->bits_per_sample = bits;
    page->bit_count = bits;
    page->samples_per_pixel = 1;
    page->planes = 1;
    page->stride = (page->width + 3) & ~3;
    if (page->width > 0 && page->height > 0 && !gif_page_size_fits(page->width, page->height))
        return;
    gif_set_page_size(page->width, page->height);
    rd_byte(); // background index: the canvas is white instead
    rd_byte(); // pixel aspect ratio
    int count = 1 << bits;
    if (packed & 0x80) {
        uint8_t triple[3];
        for (int i = 0; i < count && !g_status; i++) {
            rd_read(triple, 3);
            for (int c = 0; c < 3; c++) g_gif.global_table[c][i] = triple[c];
        }
    }
    g_gif.background = white_canvas_index(count);
}

// A file that ends early (a cut download, or no trailer) keeps the pages it gave; the image
// being decoded shows what its data gave.
void end_short_file() {
    g_status = 0;
    if (g_gif.in_image) gif_end_of_image(0);
    if (!g_status) log_line("GIF : fichier tronque, pas de terminateur");
}

} // namespace

void gif_load(int* image_id, int list) {
    gif_lzw_release();
    mem_free(g_gif.row_buffer);
    g_gif = GifDecoder();
    g_gif.loop_count = 1;
    g_gif.list = list;
    g_gif.page_id = g_gif.first_page_id = *image_id;

    Image* page = obj_find_as<Image>(CLS_IMAGE, *image_id);
    if (!page) {
        g_status = ST_NOT_FOUND;
        return;
    }
    *image_id = 0; // every page, the first included, goes into the page list here
    if (rd_open(page->file_entry_id, kReaderWindow, true) != 0) {
        if (!g_status) g_status = ST_FILE;
    } else {
        read_screen_and_table(g_gif.page_id);
        if (!g_status) run_block_loop();
        if (g_status == ST_FILE && g_gif.images) end_short_file();
        if (!g_status && !g_gif.images) {
            log_line("GIF : aucune image dans le fichier"); // nothing to show
            g_status = ST_BAD_DATA;
        }
    }
    gif_lzw_release();
    mem_free(g_gif.row_buffer);
    // An image the list never took (no image descriptor reached) would be left behind.
    if (list && !g_gif.first_page_listed) {
        int status = g_status;
        obj_delete(CLS_IMAGE, g_gif.first_page_id);
        g_status = status;
    }
}
