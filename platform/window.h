// The window services the display and the shell draw through. One platform layer (Win32,
// SDL2 or the in-memory headless one) installs its table at start-up; until then every
// call is a harmless no-op, so the logic runs without any window system.
#pragma once
#include <cstdint>

// Handles owned by the platform layer; the logic only passes them back.
using PlatformWindow = void*;
using PlatformRegion = void*;
using PlatformPalette = void*;

// Window pixels; right and bottom are exclusive, as in a platform region's rectangles.
struct PixelRect {
    int32_t left, top, right, bottom;
};

struct PalEntry {
    uint8_t red, green, blue;
};

struct PlatformWindowOps {
    // Brackets every drawing pass (a device context on Win32, a surface lock on SDL2).
    void (*begin_drawing)(PlatformWindow window);
    void (*end_drawing)(PlatformWindow window);
    // Clip for the fills and copies that follow, until the next call or end_drawing.
    void (*set_clip)(PlatformWindow window, PixelRect clip);
    // Solid fill with a 0xRRGGBB colour; false when the brush cannot be made.
    bool (*fill_rect)(PlatformWindow window, PixelRect rect, uint32_t colour);
    // Copies width x height pixels of 0xRRGGBB words, rows top-down, stride in pixels.
    void (*copy_pixels)(PlatformWindow window, int x, int y, int width, int height,
                        const uint32_t* pixels, int stride);
    // Moves the contents by (dx, dy) pixels; returns the uncovered area (to be deleted with
    // region_delete) or nullptr when scrolling failed.
    PlatformRegion (*scroll)(PlatformWindow window, int dx, int dy);
    // Copies up to capacity rectangles of the region; returns how many it has.
    int (*region_rects)(PlatformRegion region, PixelRect* out, int capacity);
    void (*region_delete)(PlatformRegion region);
    void (*client_size)(PlatformWindow window, int* width, int* height);
    PlatformPalette (*create_palette)(const PalEntry* entries, int count);
    // Selects the palette into the window (foreground) and realises it.
    void (*realise_palette)(PlatformWindow window, PlatformPalette palette);
    // True when input or other non-timer messages wait in the thread's queue.
    bool (*input_pending)();
    uint32_t (*clock_ms)();
};

// The active table; nullptr before a layer is installed.
extern const PlatformWindowOps* g_platform;
inline void platform_install(const PlatformWindowOps* ops) {
    g_platform = ops;
}

inline void plat_begin_drawing(PlatformWindow w) {
    if (g_platform && g_platform->begin_drawing) g_platform->begin_drawing(w);
}
inline void plat_end_drawing(PlatformWindow w) {
    if (g_platform && g_platform->end_drawing) g_platform->end_drawing(w);
}
inline void plat_set_clip(PlatformWindow w, PixelRect clip) {
    if (g_platform && g_platform->set_clip) g_platform->set_clip(w, clip);
}
inline bool plat_fill_rect(PlatformWindow w, PixelRect r, uint32_t colour) {
    return g_platform && g_platform->fill_rect ? g_platform->fill_rect(w, r, colour) : true;
}
inline void plat_copy_pixels(PlatformWindow w, int x, int y, int width, int height,
                             const uint32_t* pixels, int stride) {
    if (g_platform && g_platform->copy_pixels)
        g_platform->copy_pixels(w, x, y, width, height, pixels, stride);
}
inline PlatformRegion plat_scroll(PlatformWindow w, int dx, int dy) {
    return g_platform && g_platform->scroll ? g_platform->scroll(w, dx, dy) : nullptr;
}
inline int plat_region_rects(PlatformRegion r, PixelRect* out, int capacity) {
    return g_platform && g_platform->region_rects ? g_platform->region_rects(r, out, capacity) : 0;
}
inline void plat_region_delete(PlatformRegion r) {
    if (g_platform && g_platform->region_delete) g_platform->region_delete(r);
}
inline void plat_client_size(PlatformWindow w, int* width, int* height) {
    *width = *height = 0;
    if (g_platform && g_platform->client_size) g_platform->client_size(w, width, height);
}
inline PlatformPalette plat_create_palette(const PalEntry* entries, int count) {
    return g_platform && g_platform->create_palette ? g_platform->create_palette(entries, count)
                                                    : nullptr;
}
inline void plat_realise_palette(PlatformWindow w, PlatformPalette p) {
    if (g_platform && g_platform->realise_palette) g_platform->realise_palette(w, p);
}
inline bool plat_input_pending() {
    return g_platform && g_platform->input_pending ? g_platform->input_pending() : false;
}
inline uint32_t plat_clock_ms() {
    return g_platform && g_platform->clock_ms ? g_platform->clock_ms() : 0;
}
