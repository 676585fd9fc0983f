#include "decoders/decode_limits.h"

int64_t g_max_image_bytes = int64_t(1) << 30;

namespace {
bool size_within(int64_t width, int64_t height, int planes, int64_t bound) {
    if (width <= 0 || height <= 0 || planes <= 0) return false;
    if (width > 0x7FFFFFF0 || height > 0x7FFFFFF0) return false;
    int64_t stride = (width + 3) & ~int64_t(3);
    if (stride * planes > 0x7FFFFFFF) return false;
    return stride * planes <= bound / height;
}
} // namespace

bool image_size_acceptable(int64_t width, int64_t height, int planes) {
    return size_within(width, height, planes, g_max_image_bytes);
}

bool on_demand_size_acceptable(int64_t width, int64_t height, int planes) {
    return size_within(width, height, planes, 16 * g_max_image_bytes);
}
