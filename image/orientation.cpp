// Placement of stored rows on the page: direct row writes for orientations 1 to 4, a band of
// stored rows written out column-wise for 5 to 8.
#include "image/orientation.h"
#include "core/mem.h"
#include "core/status.h"
#include "image/image.h"

#include <cstring>

namespace {

// The band holds at most this many bytes, but always the producer's minimum rows.
constexpr long long k_band_bytes = 16 << 20;
constexpr long long k_max_band_bytes = 1 << 30;

bool mirrors_columns(int orientation) {
    return orientation == 2 || orientation == 3;
}
bool mirrors_rows(int orientation) {
    return orientation == 3 || orientation == 4;
}

// Orientations 1 to 4: the stored piece lands in one page row, reversed when mirrored.
void write_direct(Placement* p, int y, int x, int count, const uint8_t* const* planes) {
    int page_y = orientation_stored_row(p->orientation, y, p->stored_height);
    bool reversed = mirrors_columns(p->orientation);
    int page_x = reversed ? p->stored_width - x - count : x;
    for (int k = 0; k < p->planes; k++) {
        uint8_t* row = image_row_write(p->page, page_y, k);
        if (!row) return;
        uint8_t* out = row + page_x;
        if (!reversed) {
            std::memcpy(out, planes[k], static_cast<size_t>(count));
            continue;
        }
        const uint8_t* in = planes[k];
        for (int i = 0; i < count; i++) out[count - 1 - i] = in[i];
    }
}

// Orientations 5 to 8: stored column x is page row x (6, 5) or width - 1 - x (7, 8); stored
// row y is page column y (5, 8) or height - 1 - y (6, 7). The band is turned in blocks of
// k_block_rows band rows by k_group page rows, so that the band rows of a block stay in the
// cache while its page rows are filled, and every page row is asked for once per block.
constexpr int k_block_rows = 256;
constexpr int k_group = 8; // page rows held at once: fewer than the store's recent rows

void flush_band(Placement* p) {
    if (p->band_first < 0 || p->band_written == 0) return;
    int o = p->orientation;
    bool rows_reversed = o == 7 || o == 8;
    bool columns_reversed = o == 6 || o == 7;
    int first = p->band_first, n = p->band_written;
    long long plane_bytes = p->stored_width;
    long long row_bytes = plane_bytes * p->planes;
    for (int i0 = 0; i0 < n && !g_status; i0 += k_block_rows) {
        int i1 = n - i0 < k_block_rows ? n : i0 + k_block_rows;
        for (int y0 = 0; y0 < p->stored_width && !g_status; y0 += k_group) {
            int rows = p->stored_width - y0 < k_group ? p->stored_width - y0 : k_group;
            for (int k = 0; k < p->planes; k++) {
                uint8_t* out[k_group];
                for (int j = 0; j < rows; j++) {
                    out[j] = image_row_write(p->page, y0 + j, k);
                    if (!out[j]) return;
                }
                // Stored column of page row y0 + j: x0 + j, or x0 - j when reversed.
                int x0 = rows_reversed ? p->stored_width - 1 - y0 : y0;
                int step = rows_reversed ? -1 : 1;
                const uint8_t* in = p->band + k * plane_bytes + x0;
                int i = i0;
                // Whole 8 x 8 tiles: eight band rows read, eight page rows written, 8 bytes each.
                for (; rows == k_group && i + 8 <= i1; i += 8) {
                    uint8_t tile[8][8];
                    for (int a = 0; a < 8; a++)
                        for (int j = 0; j < 8; j++) tile[j][a] = in[(i + a) * row_bytes + j * step];
                    int column = columns_reversed ? p->stored_height - first - i - 8 : first + i;
                    for (int j = 0; j < 8; j++)
                        for (int a = 0; a < 8; a++)
                            out[j][column + a] = tile[j][columns_reversed ? 7 - a : a];
                }
                for (; i < i1; i++) {
                    int column = columns_reversed ? p->stored_height - 1 - (first + i) : first + i;
                    for (int j = 0; j < rows; j++) out[j][column] = in[i * row_bytes + j * step];
                }
            }
        }
    }
}

void start_band(Placement* p, int y) {
    flush_band(p);
    std::memset(p->band, 0,
                static_cast<size_t>(p->band_rows) * static_cast<size_t>(p->stored_width) *
                    static_cast<size_t>(p->planes));
    p->band_first = y;
    p->band_written = 0;
}

} // namespace

bool orientation_transposes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

void orientation_page_size(int orientation, int stored_width, int stored_height, int* page_width,
                           int* page_height) {
    bool t = orientation_transposes(orientation);
    *page_width = t ? stored_height : stored_width;
    *page_height = t ? stored_width : stored_height;
}

int orientation_stored_row(int orientation, int page_y, int stored_height) {
    return mirrors_rows(orientation) ? stored_height - 1 - page_y : page_y;
}

void place_begin(Placement* p, Image* page, int stored_width, int stored_height, int orientation,
                 int min_band_rows) {
    *p = Placement{page, stored_width, stored_height, orientation, page->planes, nullptr, 0, -1, 0};
    if (orientation < 1 || orientation > 8) p->orientation = 1;
    if (!orientation_transposes(p->orientation)) return;
    long long row_bytes = static_cast<long long>(stored_width) * p->planes;
    long long rows = k_band_bytes / row_bytes;
    if (rows < min_band_rows) rows = min_band_rows;
    if (rows > stored_height) rows = stored_height;
    if (rows < 1) rows = 1;
    p->band_rows = static_cast<int>(rows);
    if (rows * row_bytes > k_max_band_bytes) {
        g_status = ST_NO_MEMORY;
        return;
    }
    if (!mem_alloc(p->band, static_cast<size_t>(rows * row_bytes))) return;
    p->band_first = -1;
}

void place_row(Placement* p, int y, int x, int count, const uint8_t* const* planes) {
    if (y < 0 || y >= p->stored_height || x < 0 || count <= 0 || x >= p->stored_width) return;
    if (count > p->stored_width - x) count = p->stored_width - x;
    if (!orientation_transposes(p->orientation)) {
        write_direct(p, y, x, count, planes);
        return;
    }
    if (!p->band) return;
    if (p->band_first < 0 || y < p->band_first || y >= p->band_first + p->band_rows)
        start_band(p, y);
    int i = y - p->band_first;
    long long plane_bytes = p->stored_width;
    uint8_t* row = p->band + i * plane_bytes * p->planes;
    for (int k = 0; k < p->planes; k++)
        std::memcpy(row + k * plane_bytes + x, planes[k], static_cast<size_t>(count));
    if (i + 1 > p->band_written) p->band_written = i + 1;
}

bool place_direct(Placement* p, int y, int x, uint8_t** planes) {
    if (p->orientation != 1 || y < 0 || y >= p->stored_height || x < 0 || x >= p->stored_width)
        return false;
    for (int k = 0; k < p->planes; k++) {
        uint8_t* row = image_row_write(p->page, y, k);
        if (!row) return false;
        planes[k] = row + x;
    }
    return true;
}

void place_end(Placement* p) {
    if (p->band) {
        flush_band(p);
        mem_free(p->band);
    }
    p->band_first = -1;
    p->band_written = 0;
}
