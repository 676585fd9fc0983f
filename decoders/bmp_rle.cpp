// Run-length BMP data (RLE8 and RLE4). Rows start at the bottom; codes that would write past
// the right edge or reach rows outside the image are clipped: their pixels are dropped and
// decoding goes on, so the rest of the picture still shows.
#include "decoders/bmp.h"

#include "core/reader.h"
#include "core/status.h"
#include "image/image.h"

#include <cstring>

namespace {

struct RunCursor {
    Image* image;
    int64_t row; // image row; may leave 0..height-1 through deltas and line ends
    int64_t column;
    uint8_t* pixels;     // writable row, or null when the row lies outside the image
    int64_t fetched_row; // row that pixels belongs to
};

RunCursor g_cursor;

// Run-length codes are taken from a block read ahead through the reader, a few bytes at a time
// being too slow for large pictures. The codes end with the data: a code cut off there ends
// the decoding, and what was decoded stays.
struct CodeSource {
    uint8_t block[65536];
    int at, end;
    int64_t left; // bytes of data not yet in the block
    bool ended;   // a code asked for more than the data holds
};

CodeSource g_source;

bool refill() {
    if (g_source.left <= 0) {
        g_source.ended = true;
        return false;
    }
    g_source.end = static_cast<int>(g_source.left < static_cast<int64_t>(sizeof g_source.block)
                                        ? g_source.left
                                        : static_cast<int64_t>(sizeof g_source.block));
    g_source.left -= g_source.end;
    g_source.at = 0;
    rd_read(g_source.block, g_source.end);
    return !g_status;
}

inline unsigned next_byte() {
    if (g_source.at == g_source.end && !refill()) return 0;
    return g_source.block[g_source.at++];
}

// Reads up to n bytes; returns how many the data still held.
int next_bytes(uint8_t* out, int n) {
    int i = 0;
    for (; i < n; i++) {
        unsigned b = next_byte();
        if (g_source.ended || g_status) break;
        out[i] = static_cast<uint8_t>(b);
    }
    return i;
}

uint8_t* current_row() {
    RunCursor& c = g_cursor;
    if (c.fetched_row != c.row) {
        c.fetched_row = c.row;
        c.pixels = nullptr;
        if (c.row >= 0 && c.row < c.image->height)
            c.pixels = image_row_write(c.image, static_cast<int>(c.row), 0);
    }
    return c.pixels;
}

// Writes count pixels; with RLE4 they alternate the high and low nibble of value.
void put_run(int count, uint8_t value, bool nibbles) {
    RunCursor& c = g_cursor;
    uint8_t* row = current_row();
    int64_t width = c.image->width;
    if (row && c.column < width) {
        int64_t n = count < width - c.column ? count : width - c.column;
        if (!nibbles) {
            memset(row + c.column, value, static_cast<size_t>(n));
        } else {
            uint8_t pair[2] = {static_cast<uint8_t>(value >> 4), static_cast<uint8_t>(value & 15)};
            for (int64_t i = 0; i < n; i++) row[c.column + i] = pair[i & 1];
        }
    }
    c.column += count;
}

// Copies n literal pixels held in bytes (one per pixel, or two nibbles per byte).
void put_literal(const uint8_t* bytes, int n, bool nibbles) {
    RunCursor& c = g_cursor;
    uint8_t* row = current_row();
    int64_t width = c.image->width;
    if (row && c.column < width) {
        int count = static_cast<int>(n < width - c.column ? n : width - c.column);
        if (!nibbles) {
            memcpy(row + c.column, bytes, static_cast<size_t>(count));
        } else {
            for (int i = 0; i < count; i++)
                row[c.column + i] = (i & 1) ? bytes[i / 2] & 15 : bytes[i / 2] >> 4;
        }
    }
    c.column += n;
}

} // namespace

void bmp_read_run_length(Image* image, const BmpHeader& h) {
    if (h.file_size < h.required_size) {
        g_status = ST_BAD_DATA;
        return;
    }
    image->transparent_flag = 1;
    const bool nibbles = h.compression == BMP_RLE4;
    g_cursor = RunCursor{image, image->height - 1, 0, nullptr, -1};
    g_source.at = g_source.end = 0;
    g_source.left = h.data_end - rd_tell();
    g_source.ended = false;
    uint8_t literal[256];

    for (;;) {
        unsigned count = next_byte();
        unsigned value = next_byte();
        if (g_source.ended || g_status) break;
        if (count > 0) {
            put_run(static_cast<int>(count), static_cast<uint8_t>(value), nibbles);
        } else if (value == 0) {
            g_cursor.row--;
            g_cursor.column = 0;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            unsigned dx = next_byte();
            unsigned dy = next_byte();
            if (g_source.ended || g_status) break;
            g_cursor.column += dx;
            g_cursor.row -= dy;
        } else {
            // Pixels come whole bytes at a time, padded to an even count; a run cut off by
            // the end of the data gives the pixels that arrived.
            int n = static_cast<int>(value);
            int bytes = nibbles ? (n + 1) / 2 : n;
            int got = next_bytes(literal, bytes);
            if (g_status) break;
            int pixels = got == bytes ? n : nibbles ? 2 * got : got;
            put_literal(literal, pixels, nibbles);
            if (got < bytes) break;
            if (bytes & 1) next_byte();
        }
    }
}
