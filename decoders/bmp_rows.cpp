// Uncompressed and bit-field BMP rows: each stored row is read whole, converted into the
// image's palette-index or red/green/blue planes, and its padding skipped.
#include "decoders/bmp.h"

#include "core/mem.h"
#include "core/reader.h"
#include "core/status.h"
#include "decoders/packed_pixels.h"
#include "image/image.h"
#include "core/services.h"

#include <cstring>

namespace {

uint8_t* g_work = nullptr; // one stored row (all depths but 8)

// Channel value of a masked field, floor((v & mask) * 255 / mask). Fields whose span fits
// 16 bits go through a table; the shifted ratio is exactly the unshifted one.
struct MaskScale {
    uint32_t mask;
    int shift;
    uint32_t span;        // mask >> shift
    const uint8_t* table; // span + 1 entries, or null for wide fields
};

MaskScale g_scale[3];
uint8_t g_tables[3][65536];

void build_scales(const uint32_t masks[3]) {
    for (int c = 0; c < 3; c++) {
        MaskScale& s = g_scale[c];
        s.mask = masks[c];
        s.shift = 0;
        while (s.mask && !((s.mask >> s.shift) & 1)) s.shift++;
        s.span = s.mask >> s.shift;
        s.table = nullptr;
        if (!s.mask || s.span >= 65536) continue;
        for (uint32_t x = 0; x <= s.span; x++)
            g_tables[c][x] = static_cast<uint8_t>(uint64_t(x) * 255 / s.span);
        s.table = g_tables[c];
    }
}

inline uint8_t scale_channel(const MaskScale& s, uint32_t v) {
    if (!s.mask) return 0;
    if (s.table) return s.table[(v & s.mask) >> s.shift];
    return static_cast<uint8_t>(uint64_t(v & s.mask) * 255 / s.mask);
}

void split_masked(const uint8_t* src, uint8_t* r, uint8_t* g, uint8_t* b, int width, int bytes) {
    for (int x = 0; x < width; x++, src += bytes) {
        uint32_t v = bytes == 2
                         ? uint32_t(src[0] | src[1] << 8)
                         : uint32_t(src[0] | src[1] << 8 | src[2] << 16 | uint32_t(src[3]) << 24);
        r[x] = scale_channel(g_scale[0], v);
        g[x] = scale_channel(g_scale[1], v);
        b[x] = scale_channel(g_scale[2], v);
    }
}

void read_one_row(Image* image, const BmpHeader& h, int y, int64_t row_bytes) {
    if (h.bits == 8) {
        uint8_t* row = image_row_write(image, y, 0);
        if (row) rd_read(row, static_cast<long>(row_bytes));
        return;
    }
    rd_read(g_work, static_cast<long>(row_bytes));
    if (g_status) return;
    if (h.bits < 8) {
        uint8_t* row = image_row_write(image, y, 0);
        if (row) unpack_bits_msb(g_work, row, image->width, h.bits);
        return;
    }
    // Every plane gets its whole width: the row need not be cleared first.
    uint8_t* planes[3];
    if (!image_row_overwrite(image, y, planes)) return;
    if (h.bits == 24)
        split_packed(ORDER_BGR, g_work, planes[0], planes[1], planes[2], image->width);
    else
        split_masked(g_work, planes[0], planes[1], planes[2], image->width, h.bits / 8);
}

} // namespace

void bmp_read_rows(Image* image, const BmpHeader& h) {
    int64_t pixels_per_byte = h.bits < 8 ? 8 / h.bits : 1;
    int64_t bytes_per_pixel = h.bits < 8 ? 1 : h.bits / 8;
    int64_t row_bytes = (h.width + pixels_per_byte - 1) / pixels_per_byte * bytes_per_pixel;
    int64_t padded = (row_bytes + 3) & ~int64_t(3);
    if (h.file_size < rd_tell() + (h.height - 1) * padded + row_bytes) {
        log_line("BMP : donnees de pixels tronquees");
        g_status = ST_BAD_DATA;
        return;
    }
    mem_free(g_work);
    if (h.bits != 8 && !mem_alloc(g_work, static_cast<size_t>(row_bytes + 40))) {
        g_status = ST_NO_MEMORY;
        return;
    }
    if (h.bits == 16 || h.bits == 32) build_scales(h.masks);

    for (int k = 0; k < h.height && !g_status; k++) {
        int y = h.bottom_up ? h.height - 1 - k : k;
        read_one_row(image, h, y, row_bytes);
        if (k + 1 < h.height) rd_seek(padded - row_bytes, 1);
    }
    mem_free(g_work);
}
