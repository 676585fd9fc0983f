// PNM pixel readers. The whole file is the reader's window, so the readers walk it with a
// pointer and put the reader back behind what they used when they are done.
#include "decoders/pnm_pixels.h"

#include "core/charclass.h"
#include "core/reader.h"
#include "core/status.h"
#include "decoders/packed_pixels.h"
#include "image/image.h"

#include <cstring>

namespace {

constexpr int kMostDigits = 12;

const uint8_t* g_at;    // next unread byte
const uint8_t* g_end;   // end of the file's bytes
uint8_t g_scale[65536]; // sample -> 0..255 for the current maxval

bool open_cursor() {
    static const uint8_t nothing[1] = {0};
    if (rd_tell() >= rd_size()) { // header ran to the end: no pixel bytes at all
        g_at = g_end = nothing;
        return true;
    }
    long long start = rd_tell() - rd_window_base();
    long long end = rd_size() - rd_window_base();
    if (!rd_window() || start < 0 || end > rd_window_size()) {
        g_status = ST_FILE;
        return false;
    }
    g_at = rd_window() + start;
    g_end = rd_window() + end;
    return true;
}

void close_cursor() {
    if (g_at != g_end || rd_tell() < rd_size()) rd_seek(rd_window_base() + (g_at - rd_window()), 0);
}

void build_scale(int maxval) {
    long half = maxval > 255 ? maxval / 2 : 0;
    for (int v = 0; v <= 65535; v++) {
        long s = (static_cast<long>(v) * 255 + half) / maxval;
        g_scale[v] = static_cast<uint8_t>(s > 255 ? 255 : s);
    }
}

// Next digit's value, skipping every other byte; 0 once the data is used up.
int next_digit() {
    while (g_at < g_end && k_char_class[*g_at] != CC_DIGIT) g_at++;
    return g_at < g_end ? *g_at++ - '0' : 0;
}

// Next unsigned number of up to 12 digits, skipping every non-digit (signs included).
long long next_number() {
    while (g_at < g_end && k_char_class[*g_at] != CC_DIGIT) g_at++;
    long long v = 0;
    for (int n = 0; n < kMostDigits && g_at < g_end && k_char_class[*g_at] == CC_DIGIT; n++)
        v = v * 10 + (*g_at++ - '0');
    return v;
}

inline uint8_t scaled(long long v) {
    return v > 65535 ? 255 : g_scale[v];
}

} // namespace

void pnm_read_text_bits(const PnmRaster& r) {
    if (!open_cursor()) return;
    Image* image = r.image;
    for (int y = 0; y < image->height && !g_status; y++) {
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
    for (int y = 0; y < image->height && !g_status; y++) {
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
        long long have = g_end - g_at < row_bytes ? g_end - g_at : row_bytes;
        long long pixels = have * 8 < image->width ? have * 8 : image->width;
        if (have < row_bytes) g_status = ST_FILE;
        unpack_bits_msb(g_at, row, static_cast<int>(pixels));
        g_at += have;
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
        uint8_t* planes[3] = {};
        for (int p = 0; p < channels; p++) planes[p] = image_row_write(image, y, p);
        if (!planes[channels - 1] || !planes[0]) break;
        const uint8_t* src = g_at;
        long long have = g_end - g_at < row_bytes ? g_end - g_at : row_bytes;
        int pixels = static_cast<int>(have / (channels * sample_bytes));
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
        } else {
            for (int x = 0; x < pixels; x++)
                for (int p = 0; p < channels; p++, src += 2)
                    planes[p][x] = g_scale[src[0] << 8 | src[1]];
        }
        g_at += have;
    }
    close_cursor();
}
