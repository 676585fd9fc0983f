// Run-length BMP data (RLE8 and RLE4). Rows start at the bottom; codes that would write past
// the right edge or reach rows outside the image are clipped: their pixels are dropped and
// decoding goes on, so the rest of the picture still shows.
#include "decoders/bmp.h"

#include "core/reader.h"
#include "decoders/byte_source.h"
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
    // The codes run to the end of the file, whatever the size field says (0, or short of the
    // data, in files of many writers); one the data cuts off ends the picture.
    bytes_begin(ST_FILE);
    uint8_t literal[256];

    while (!g_status) {
        unsigned count = bytes_next();
        unsigned value = bytes_next();
        if (g_status) break;
        if (count > 0) {
            put_run(static_cast<int>(count), static_cast<uint8_t>(value), nibbles);
        } else if (value == 0) {
            g_cursor.row--;
            g_cursor.column = 0;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            unsigned dx = bytes_next();
            unsigned dy = bytes_next();
            if (g_status) break;
            g_cursor.column += dx;
            g_cursor.row -= dy;
        } else {
            // Pixels come in whole bytes, padded to an even count; a run the data cuts off
            // gives the pixels that arrived.
            int n = static_cast<int>(value);
            int bytes = nibbles ? (n + 1) / 2 : n;
            long long left = rd_size() - bytes_offset();
            int got = bytes < left ? bytes : static_cast<int>(left);
            bytes_take(literal, got);
            if (g_status) break;
            put_literal(literal, got == bytes ? n : nibbles ? 2 * got : got, nibbles);
            if (bytes & 1) bytes_next();
        }
    }
    if (g_status == ST_FILE) g_status = 0; // the data ended without an end-of-bitmap code
}
