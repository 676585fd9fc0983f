// PNM pixel readers. They walk the reader's window with a pointer, move the window on when its
// bytes are used up, and put the reader back behind what they used when they are done.
#include "decoders/pnm_pixels.h"

#include "core/charclass.h"
#include "core/mem.h"
#include "core/reader.h"
#include "core/status.h"
#include "decoders/packed_pixels.h"
#include "image/image.h"

#include <cstring>

namespace {

constexpr int kMostDigits = 12;

const uint8_t* g_at;    // next unread byte, in the reader's window
const uint8_t* g_end;   // end of the window's file bytes
bool g_used_up;         // the file's bytes are all read
uint8_t* g_row;         // a raw row gathered across two windows
uint8_t g_scale[65536]; // sample -> 0..255 for the current maxval

void point_at_reader() {
    g_at = rd_window() + (rd_tell() - rd_window_base());
    g_end = rd_window() + rd_window_size();
}

long long offset_of_cursor() {
    return rd_window_base() + (g_at - rd_window());
}

// Moves the window on to the cursor once the window's bytes are used up; false at the end of
// the file.
bool next_window() {
    long long offset = offset_of_cursor();
    if (offset >= rd_size()) {
        g_used_up = true;
        return false;
    }
    rd_seek(offset, 0);
    point_at_reader();
    return g_at < g_end;
}

bool open_cursor() {
    g_used_up = false;
    if (!rd_window()) {
        g_status = ST_FILE;
        return false;
    }
    point_at_reader();
    if (g_at > g_end) g_at = g_end; // the header ran to the end: no pixel bytes at all
    return true;
}

void close_cursor() {
    long long offset = offset_of_cursor();
    if (offset < rd_size()) rd_seek(offset, 0);
    mem_free(g_row);
}

// The next row of a raw raster: in place when the window holds it whole, else gathered.
// *have: the bytes there are (fewer than asked at the end of the file).
const uint8_t* take_row(long long row_bytes, long long* have) {
    if (g_end - g_at >= row_bytes) {
        const uint8_t* row = g_at;
        g_at += row_bytes;
        *have = row_bytes;
        return row;
    }
    if (!g_row && !mem_alloc(g_row, static_cast<size_t>(row_bytes))) {
        *have = 0;
        return nullptr;
    }
    long long got = 0;
    while (got < row_bytes && (g_at < g_end || next_window())) {
        long long piece = g_end - g_at < row_bytes - got ? g_end - g_at : row_bytes - got;
        std::memcpy(g_row + got, g_at, static_cast<size_t>(piece));
        got += piece;
        g_at += piece;
    }
    *have = got;
    return g_row;
}

void build_scale(int maxval) {
    long half = maxval > 255 ? maxval / 2 : 0;
    for (int v = 0; v <= 65535; v++) {
        long s = (static_cast<long>(v) * 255 + half) / maxval;
        g_scale[v] = static_cast<uint8_t>(s > 255 ? 255 : s);
    }
}

// Skips every byte that is not a digit; false once the data is used up.
bool reach_digit() {
    for (;;) {
        while (g_at < g_end && k_char_class[*g_at] != CC_DIGIT) g_at++;
        if (g_at < g_end) return true;
        if (!next_window() && g_used_up) return false;
    }
}

// Next digit's value, skipping every other byte; 0 once the data is used up.
int next_digit() {
    return reach_digit() ? *g_at++ - '0' : 0;
}

// Next unsigned number of up to 12 digits, skipping every non-digit (signs included); 0 once
// the data is used up. A number may run on into the next window.
long long next_number() {
    if (!reach_digit()) return 0;
    long long v = 0;
    int n = 0;
    for (;;) {
        while (n < kMostDigits && g_at < g_end && k_char_class[*g_at] == CC_DIGIT) {
            v = v * 10 + (*g_at++ - '0');
            n++;
        }
        if (n == kMostDigits || g_at < g_end || !next_window()) return v;
    }
}

inline uint8_t scaled(long long v) {
    return v > 65535 ? 255 : g_scale[v];
}

} // namespace

void pnm_read_text_bits(const PnmRaster& r) {
    if (!open_cursor()) return;
    Image* image = r.image;
    // Once the data is used up the rest reads as zeros, which rows not yet written hold.
    for (int y = 0; y < image->height && !g_status && !g_used_up; y++) {
        uint8_t* row = image_row_write(image, y, 0);
        if (!row) break;
        for (int x = 0; x < image->width; x++) row[x] = static_cast<uint8_t>(next_digit());
    }
    close_cursor();
}

void pnm_read_text_samples(const PnmRaster& r) {
    if (!open_cursor()) return;
    build_scale(r.maxval);
    Image* image = r.image;
    bool wide = r.maxval > 255;
    // Once the data is used up the rest reads as zeros (scaled or not, still zeros), which
    // rows not yet written hold.
    for (int y = 0; y < image->height && !g_status && !g_used_up; y++) {
        if (image->planes == 1) {
            uint8_t* row = image_row_write(image, y, 0);
            if (!row) break;
            for (int x = 0; x < image->width; x++) {
                long long v = next_number();
                row[x] = wide ? scaled(v) : static_cast<uint8_t>(v); // 8-bit values are indices
            }
            continue;
        }
        uint8_t* planes[3];
        for (int p = 0; p < 3; p++) planes[p] = image_row_write(image, y, p);
        if (!planes[0] || !planes[1] || !planes[2]) break;
        for (int x = 0; x < image->width; x++)
            for (int p = 0; p < 3; p++) planes[p][x] = scaled(next_number());
    }
    close_cursor();
}

// Raw rows shorter than needed end the image: the pixels that are there are kept and the
// status says the file ended early.
void pnm_read_raw_bits(const PnmRaster& r) {
    if (!open_cursor()) return;
    Image* image = r.image;
    const long long row_bytes = (image->width + 7) / 8;
    for (int y = 0; y < image->height && !g_status; y++) {
        uint8_t* row = image_row_write(image, y, 0);
        if (!row) break;
        long long have = 0;
        const uint8_t* src = take_row(row_bytes, &have);
        if (!src) break;
        long long pixels = have * 8 < image->width ? have * 8 : image->width;
        if (have < row_bytes) g_status = ST_FILE;
        unpack_bits_msb(src, row, static_cast<int>(pixels), 1);
    }
    close_cursor();
}

void pnm_read_raw_samples(const PnmRaster& r) {
    if (!open_cursor()) return;
    build_scale(r.maxval);
    Image* image = r.image;
    const int channels = image->planes;
    const int sample_bytes = r.maxval > 255 ? 2 : 1;
    const long long row_bytes = static_cast<long long>(image->width) * channels * sample_bytes;
    const bool as_is = channels == 1 && sample_bytes == 1; // grey indices are stored as read
    for (int y = 0; y < image->height && !g_status; y++) {
        // Every byte of the row is written below: no clearing first.
        uint8_t* planes[3] = {};
        if (!image_row_overwrite(image, y, planes)) break;
        long long have = 0;
        const uint8_t* src = take_row(row_bytes, &have);
        int pixels = static_cast<int>(have / (channels * sample_bytes));
        for (int p = 0; p < channels; p++)
            std::memset(planes[p] + pixels, 0, static_cast<size_t>(image->width - pixels));
        if (!src) break;
        if (have < row_bytes) g_status = ST_FILE; // keep the pixels that are there
        if (as_is) {
            memcpy(planes[0], src, static_cast<size_t>(pixels));
        } else if (sample_bytes == 1 && r.maxval == 255) {
            split_packed(ORDER_RGB, src, planes[0], planes[1], planes[2], pixels);
        } else if (sample_bytes == 1) {
            for (int x = 0; x < pixels; x++, src += 3) {
                planes[0][x] = g_scale[src[0]];
                planes[1][x] = g_scale[src[1]];
                planes[2][x] = g_scale[src[2]];
            }
        } else if (channels == 3 && r.maxval == 65535) {
            split_packed_wide(src, planes[0], planes[1], planes[2], pixels);
        } else if (channels == 3) { // two bytes a sample, most significant first
            for (int x = 0; x < pixels; x++, src += 6) {
                planes[0][x] = g_scale[src[0] << 8 | src[1]];
                planes[1][x] = g_scale[src[2] << 8 | src[3]];
                planes[2][x] = g_scale[src[4] << 8 | src[5]];
            }
        } else {
            for (int x = 0; x < pixels; x++, src += 2) planes[0][x] = g_scale[src[0] << 8 | src[1]];
        }
    }
    close_cursor();
}
