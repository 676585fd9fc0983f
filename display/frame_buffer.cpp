#include "display/frame_buffer.h"

#include "core/mem.h"

#include <algorithm>

FrameBuffer g_frame = {};

namespace {

// About a quarter of a megabyte per band: it stays in the second-level cache between being
// drawn and being copied to the window.
constexpr int k_band_pixels = 65536;

} // namespace

void frame_prepare(const Rect& r) {
    g_frame.window_rect = r;
    g_frame.x = int(r.x0);
    g_frame.y = int(r.y0);
    g_frame.width = r.x1 > r.x0 ? int(r.x1) - g_frame.x : 0;
    g_frame.height = r.y1 > r.y0 ? int(r.y1) - g_frame.y : 0;
    g_frame.stride = (g_frame.width + 3) & ~3;
    int rows = g_frame.stride > 0 ? std::max(1, k_band_pixels / g_frame.stride) : 1;
    g_frame.band_rows_max = std::min(rows, g_frame.height);
    g_frame.band_y = g_frame.y;
    g_frame.band_rows = g_frame.band_rows_max;
    size_t needed = size_t(g_frame.stride) * size_t(g_frame.band_rows_max);
    if (needed <= g_frame.capacity) return;
    if (!mem_realloc(g_frame.pixels, needed * sizeof(uint32_t))) {
        g_frame.capacity = 0;
        g_frame.width = g_frame.height = g_frame.stride = 0;
        g_frame.band_rows = g_frame.band_rows_max = 0;
        return;
    }
    g_frame.capacity = needed;
}

bool frame_next_band() {
    int end = g_frame.y + g_frame.height;
    int next = g_frame.band_y + g_frame.band_rows;
    if (g_frame.band_rows < 1 || next >= end) return false;
    g_frame.band_y = next;
    g_frame.band_rows = std::min(g_frame.band_rows_max, end - next);
    return true;
}

void frame_fill(const Rect& r, uint32_t colour) {
    int x0 = int(rect_max(r.x0, g_frame.x)) - g_frame.x;
    int y0 = int(rect_max(r.y0, g_frame.band_y));
    int x1 = int(rect_min(r.x1, g_frame.x + g_frame.width)) - g_frame.x;
    int y1 = int(rect_min(r.y1, g_frame.band_y + g_frame.band_rows));
    if (x1 <= x0) return;
    for (int yy = y0; yy < y1; ++yy) std::fill_n(frame_row(yy) + x0, x1 - x0, colour);
}

void frame_fill_around(const Rect& r, const Rect& hole, uint32_t colour) {
    Rect h = rect_intersection(hole, r);
    if (!rect_has_area(h)) {
        frame_fill(r, colour);
        return;
    }
    frame_fill(Rect{r.x0, r.y0, r.x1, h.y0}, colour); // above
    frame_fill(Rect{r.x0, h.y1, r.x1, r.y1}, colour); // below
    frame_fill(Rect{r.x0, h.y0, h.x0, h.y1}, colour); // left
    frame_fill(Rect{h.x1, h.y0, r.x1, h.y1}, colour); // right
}

void frame_release() {
    mem_free(g_frame.pixels);
    g_frame = FrameBuffer{};
}
