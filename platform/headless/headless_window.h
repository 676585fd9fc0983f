// In-memory windows: each is a 32-bit surface of its client size. Fills, copies and scrolls
// land in it exactly as they would on screen, so tests and tools can read back what a user
// would see. Also a settable clock and input flag standing in for the message queue.
#pragma once
#include "platform/window.h"
#include <cstdint>
#include <vector>

// Content of a pixel nothing has been drawn on (not a colour the display can produce).
constexpr uint32_t k_headless_unpainted = 0xFF000000u;

struct HeadlessCounters {
    long fills, fill_pixels;
    long copies, copy_pixels;
    long scrolls;
    long palette_realisations;
    long drawing_passes;
};

// Installs the headless table as the active platform layer.
void headless_install();

PlatformWindow headless_window_create(int width, int height);
void headless_window_destroy(PlatformWindow window);
// Changes the client size; the surface is cleared to unpainted.
void headless_window_resize(PlatformWindow window, int width, int height);
void headless_window_clear(PlatformWindow window, uint32_t colour);
uint32_t headless_pixel(PlatformWindow window, int x, int y);
const std::vector<uint32_t>& headless_surface(PlatformWindow window);
// Writes the window's pixels as a binary PPM (unpainted pixels black); false on a write error.
bool headless_write_ppm(PlatformWindow window, const char* path);
HeadlessCounters headless_counters(PlatformWindow window);
void headless_reset_counters(PlatformWindow window);
// True while drawing is bracketed by begin_drawing and end_drawing.
bool headless_drawing(PlatformWindow window);

// A region made of the given rectangles, as a paint message would carry it.
PlatformRegion headless_region_create(const PixelRect* rects, int count);

void headless_set_clock(uint32_t ms);
void headless_advance_clock(uint32_t ms);
// Time that passes at every reading of the clock, as drawing takes time (0 by default).
void headless_set_clock_step(uint32_t ms);
void headless_set_input_pending(bool pending);
