#include "display/frame_buffer.h"

#include "core/mem.h"

#include <algorithm>

FrameBuffer g_frame = {};

void frame_prepare(const Rect& r) {
    g_frame.window_rect = r;
    g_frame.x = int(r.x0);
    g_frame.y = int(r.y0);
    g_frame.width = r.x1 > r.x0 ? int(r.x1) - g_frame.x : 0;
    g_frame.height = r.y1 > r.y0 ? int(r.y1) - g_frame.y : 0;
    g_frame.stride = (g_frame.width + 3) & ~3;
    size_t needed = size_t(g_frame.stride) * size_t(g_frame.height);
    if (needed <= g_frame.capacity) return;
    if (!mem_realloc(g_frame.pixels, needed * sizeof(uint32_t))) {
        g_frame.capacity = 0;
        g_frame.width = g_frame.height = g_frame.stride = 0;
        return;
    }
    g_frame.capacity = needed;
}

void frame_fill(const Rect& r, uint32_t colour) {
    int x0 = int(rect_max(r.x0, g_frame.x)) - g_frame.x;
    int y0 = int(rect_max(r.y0, g_frame.y)) - g_frame.y;
    int x1 = int(rect_min(r.x1, g_frame.x + g_frame.width)) - g_frame.x;
    int y1 = int(rect_min(r.y1, g_frame.y + g_frame.height)) - g_frame.y;
    if (x1 <= x0) return;
    for (int yy = y0; yy < y1; ++yy)
        std::fill_n(g_frame.pixels + size_t(yy) * size_t(g_frame.stride) + x0, x1 - x0, colour);
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
