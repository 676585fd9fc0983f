// Exif orientation: the tag of an Exif segment (a TIFF header, then the first directory,
// whose entries are searched for tag 0x0112; everything is read within the segment's bytes),
// and the decoded page turned to it once the file is read.
#include "decoders/jpeg.h"

#include "core/byte_order.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/services.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/decode_limits.h"
#include "image/image.h"
#include "image/orientation.h"

#include <cstring>

namespace {

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShortType = 3;

struct TiffBytes {
    const uint8_t* data;
    long size;
    bool big_endian;

    bool has(long at, long n) const { return at >= 0 && n <= size && at <= size - n; }
    unsigned u16(long at) const { return big_endian ? load_be16(data + at) : load_le16(data + at); }
    uint32_t u32(long at) const { return big_endian ? load_be32(data + at) : load_le32(data + at); }
};

} // namespace

int jpeg_exif_orientation(const uint8_t* tiff, long size) {
    if (size < 8 || tiff[0] != tiff[1] || (tiff[0] != 'I' && tiff[0] != 'M')) return 1;
    TiffBytes t{tiff, size, tiff[0] == 'M'};
    if (t.u16(2) != 42) return 1;
    uint32_t directory = t.u32(4);
    if (directory > static_cast<uint32_t>(size) || !t.has(directory, 2)) return 1;
    unsigned entries = t.u16(directory);
    for (unsigned i = 0; i < entries; i++) {
        long at = static_cast<long>(directory) + 2 + 12 * static_cast<long>(i);
        if (!t.has(at, 12)) break;
        if (t.u16(at) != kOrientationTag) continue;
        unsigned value = t.u16(at + 8);
        bool usable = t.u16(at + 2) == kShortType && t.u32(at + 4) == 1;
        return usable && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

void jpeg_orient_page(int orientation) {
    Image* page = g_jpeg_page;
    if (!page || g_status || orientation < 2 || orientation > 8 || !page->full_store) return;
    int width = page->width, height = page->height, planes = page->planes;
    int page_width, page_height;
    orientation_page_size(orientation, width, height, &page_width, &page_height);
    // The decoded rows stay in their store (paged like the page's) while the page gets new
    // stores in its own size.
    if (!image_size_acceptable(page_width, page_height, planes)) {
        log_line("JPEG : image trop grande pour etre orientee");
        g_status = ST_NO_MEMORY;
        return;
    }
    Table* stored = page->full_store;
    int stored_id = page->full_store_id;
    size_t stored_stride = static_cast<size_t>(page->stride);
    obj_delete(CLS_TABLE, page->reduced_store_id);
    page->full_store = page->reduced_store = nullptr;
    page->full_store_id = page->reduced_store_id = 0;
    image_alloc(page, page_width, page_height, planes, STORE_PLAIN);
    // Placing a row of a transposed page may write out the band, touching every page row and
    // paging out any other: there each stored row is copied out first.
    bool copy = orientation_transposes(orientation);
    uint8_t* row = nullptr;
    if (!g_status && copy) mem_alloc(row, stored_stride * planes);
    if (!g_status) {
        Placement placement;
        place_begin(&placement, page, width, height, orientation, 1);
        for (int y = 0; y < height && !g_status; y++) {
            const uint8_t* source = store_row(stored, y, true);
            if (!source) break;
            if (copy) {
                std::memcpy(row, source, stored_stride * planes);
                source = row;
            }
            const uint8_t* plane[JPEG_MAX_COMPONENTS];
            for (int k = 0; k < planes; k++) plane[k] = source + k * stored_stride;
            place_row(&placement, y, 0, width, plane);
        }
        place_end(&placement);
    }
    mem_free(row);
    obj_delete(CLS_TABLE, stored_id);
    if (orientation_transposes(orientation)) {
        double x = page->x_resolution;
        page->x_resolution = page->y_resolution;
        page->y_resolution = x;
    }
}
