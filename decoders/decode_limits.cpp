#include "decoders/decode_limits.h"

int64_t g_max_image_bytes = int64_t(1) << 30;

bool image_size_acceptable(int64_t width, int64_t height, int planes) {
    if (width <= 0 || height <= 0 || planes <= 0) return false;
    if (width > 0x7FFFFFF0 || height > 0x7FFFFFF0) return false;
    int64_t stride = (width + 3) & ~int64_t(3);
    if (stride * planes > 0x7FFFFFFF) return false;
    return stride * planes <= g_max_image_bytes / height;
}
