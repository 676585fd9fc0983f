#include "decoders/decode_limits.h"
#include "core/store.h"

int64_t g_max_image_bytes = INT64_MAX;

bool image_size_acceptable(int64_t width, int64_t height, int planes) {
    if (width <= 0 || height <= 0 || planes <= 0) return false;
    if (width > 0x7FFFFFF0 || height > 0x7FFFFFF0) return false;
    int64_t row_size = ((width + 3) & ~int64_t(3)) * planes;
    if (row_size > 0x7FFFFFFF || row_size > g_max_image_bytes / height) return false;
    return store_can_hold(height, row_size);
}

bool image_size_supplied(int64_t width, int64_t height, int64_t file_bytes,
                         int64_t pixels_per_byte) {
    if (width <= 0 || height <= 0 || file_bytes <= 0) return false;
    return width <= file_bytes * pixels_per_byte / height;
}

bool on_demand_size_acceptable(int64_t width, int64_t height, int planes) {
    if (width <= 0 || height <= 0 || planes <= 0) return false;
    if (width > 0x7FFFFFF0 || height > 0x7FFFFFF0) return false;
    int64_t row_size = ((width + 3) & ~int64_t(3)) * planes;
    // Rows decoded on demand are dropped, never swapped: no disk room is needed, only the
    // row table. The fuzzers' bound still applies, sixteen times over.
    int64_t bound = g_max_image_bytes < INT64_MAX / 16 ? 16 * g_max_image_bytes : INT64_MAX;
    if (row_size > 0x7FFFFFFF || row_size > bound / height) return false;
    return store_can_hold(height, 1);
}
