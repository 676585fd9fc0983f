// The process's off-screen 32-bit buffer that one raster zone is rendered into before it is
// copied to the window. Pixels are (red << 16) | (green << 8) | blue.
//
// The storage holds one band of the zone's rows at a time, small enough to stay in the
// processor's cache while it is drawn and copied: a full-window buffer would be written to
// memory and read back for the copy. Drawing maps the whole zone as one piece and writes
// only the rows of the current band, so the pixels are the same as with one whole buffer.
#pragma once
#include "geo/rect.h"
#include <cstddef>
#include <cstdint>

constexpr int k_red_shift = 16;
constexpr int k_green_shift = 8;
constexpr int k_blue_shift = 0;

struct FrameBuffer {
    Rect window_rect; // window pixels of the zone, whole numbers
    int x, y, width, height;
    int stride;            // pixels per row: width rounded up to a multiple of 4
    int band_y, band_rows; // window rows held by the storage: band_y .. band_y + band_rows - 1
    int band_rows_max;
    uint32_t* pixels; // row band_y first
    size_t capacity;  // in pixels; only grows
    // The image drawn first in the current zone, whose destination was not filled with the
    // background beforehand (it overwrites it anyway); 0 when the whole zone was filled.
    int unfilled_image_id;
    uint32_t background;
};

extern FrameBuffer g_frame;

// Sets the frame to a window rectangle of whole pixels, with its first band current, and
// grows the storage when needed (status 1 and an empty frame when it cannot).
void frame_prepare(const Rect& window_rect);
// Moves on to the next band of rows; false after the last one.
bool frame_next_band();
// The storage of a window row of the current band, at the frame's left edge.
inline uint32_t* frame_row(int window_y) {
    return g_frame.pixels + size_t(window_y - g_frame.band_y) * size_t(g_frame.stride);
}
// Fills the part of a window rectangle that lies inside the frame.
void frame_fill(const Rect& window_rect, uint32_t colour);
// Fills the part of a window rectangle that lies inside the frame and outside a hole.
void frame_fill_around(const Rect& window_rect, const Rect& hole, uint32_t colour);
// Gives the storage back (tests and shutdown only; drawing never shrinks it).
void frame_release();
