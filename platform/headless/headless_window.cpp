#include "platform/headless/headless_window.h"

#include <cstdio>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct Surface {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    PixelRect clip{0, 0, 0, 0};
    bool drawing = false;
    PlatformPalette palette = nullptr;
    HeadlessCounters counters{};
};

struct Region {
    std::vector<PixelRect> rects;
};

struct Palette {
    std::vector<PalEntry> entries;
};

uint32_t s_clock_ms = 0;
uint32_t s_clock_step_ms = 0;
bool s_input_pending = false;

Surface* surface_of(PlatformWindow w) {
    return static_cast<Surface*>(w);
}

PixelRect intersect(PixelRect a, PixelRect b) {
    return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                     std::min(a.bottom, b.bottom)};
}

PixelRect whole(const Surface* s) {
    return PixelRect{0, 0, s->width, s->height};
}

// Outside a drawing pass there is no clip: the whole client area.
PixelRect drawable(const Surface* s) {
    return s->drawing ? intersect(s->clip, whole(s)) : whole(s);
}

void begin_drawing(PlatformWindow w) {
    Surface* s = surface_of(w);
    s->drawing = true;
    s->clip = whole(s);
    ++s->counters.drawing_passes;
}

void end_drawing(PlatformWindow w) {
    surface_of(w)->drawing = false;
}

void set_clip(PlatformWindow w, PixelRect clip) {
    surface_of(w)->clip = clip;
}

bool fill_rect(PlatformWindow w, PixelRect r, uint32_t colour) {
    Surface* s = surface_of(w);
    PixelRect a = intersect(r, drawable(s));
    ++s->counters.fills;
    for (int y = a.top; y < a.bottom; ++y) {
        std::fill_n(s->pixels.begin() + long(y) * s->width + a.left, std::max(0, a.right - a.left),
                    colour);
        s->counters.fill_pixels += std::max(0, a.right - a.left);
    }
    return true;
}

void copy_pixels(PlatformWindow w, int x, int y, int width, int height, const uint32_t* pixels,
                 int stride) {
    Surface* s = surface_of(w);
    PixelRect a = intersect(PixelRect{x, y, x + width, y + height}, drawable(s));
    ++s->counters.copies;
    for (int row = a.top; row < a.bottom; ++row) {
        const uint32_t* src = pixels + long(row - y) * stride + (a.left - x);
        std::memcpy(&s->pixels[size_t(row) * size_t(s->width) + size_t(a.left)], src,
                    sizeof(uint32_t) * size_t(a.right - a.left));
        s->counters.copy_pixels += a.right - a.left;
    }
}

// Moves the contents like ScrollWindowEx: uncovered pixels are left unpainted and reported.
PlatformRegion scroll(PlatformWindow w, int dx, int dy) {
    Surface* s = surface_of(w);
    ++s->counters.scrolls;
    auto* region = new Region;
    int width = s->width, height = s->height;
    if (std::abs(dx) >= width || std::abs(dy) >= height) {
        std::fill(s->pixels.begin(), s->pixels.end(), k_headless_unpainted);
        if (width > 0 && height > 0) region->rects.push_back(whole(s));
        return region;
    }
    std::vector<uint32_t> moved(s->pixels.size(), k_headless_unpainted);
    for (int y = 0; y < height; ++y) {
        int sy = y - dy;
        if (sy < 0 || sy >= height) continue;
        for (int x = 0; x < width; ++x) {
            int sx = x - dx;
            if (sx >= 0 && sx < width)
                moved[size_t(y) * size_t(width) + size_t(x)] =
                    s->pixels[size_t(sy) * size_t(width) + size_t(sx)];
        }
    }
    s->pixels.swap(moved);
    // A full-height strip where columns were uncovered, then the rows beside it.
    int strip_left = dx > 0 ? 0 : width + dx, strip_right = dx > 0 ? dx : width;
    if (dx != 0) region->rects.push_back(PixelRect{strip_left, 0, strip_right, height});
    int rows_top = dy > 0 ? 0 : height + dy, rows_bottom = dy > 0 ? dy : height;
    int rest_left = dx > 0 ? dx : 0, rest_right = dx < 0 ? width + dx : width;
    if (dy != 0 && rest_right > rest_left)
        region->rects.push_back(PixelRect{rest_left, rows_top, rest_right, rows_bottom});
    return region;
}

int region_rects(PlatformRegion r, PixelRect* out, int capacity) {
    const auto* region = static_cast<const Region*>(r);
    int count = int(region->rects.size());
    for (int i = 0; i < count && i < capacity; ++i) out[i] = region->rects[size_t(i)];
    return count;
}

void region_delete(PlatformRegion r) {
    delete static_cast<Region*>(r);
}

void client_size(PlatformWindow w, int* width, int* height) {
    *width = surface_of(w)->width;
    *height = surface_of(w)->height;
}

// Palettes live as long as the process, like the windows they are realised in.
std::vector<std::unique_ptr<Palette>> s_palettes;

PlatformPalette create_palette(const PalEntry* entries, int count) {
    s_palettes.push_back(std::make_unique<Palette>());
    Palette* palette = s_palettes.back().get();
    palette->entries.assign(entries, entries + std::max(0, count));
    return palette;
}

void realise_palette(PlatformWindow w, PlatformPalette p) {
    Surface* s = surface_of(w);
    s->palette = p;
    ++s->counters.palette_realisations;
}

bool input_pending() {
    return s_input_pending;
}
uint32_t clock_ms() {
    uint32_t now = s_clock_ms;
    s_clock_ms += s_clock_step_ms;
    return now;
}

const PlatformWindowOps k_headless_ops = {
    begin_drawing,   end_drawing,   set_clip,      fill_rect,   copy_pixels,
    scroll,          region_rects,  region_delete, client_size, create_palette,
    realise_palette, input_pending, clock_ms,
};

} // namespace

void headless_install() {
    platform_install(&k_headless_ops);
}

PlatformWindow headless_window_create(int width, int height) {
    auto* s = new Surface;
    headless_window_resize(s, width, height);
    return s;
}

void headless_window_destroy(PlatformWindow window) {
    delete surface_of(window);
}

void headless_window_resize(PlatformWindow window, int width, int height) {
    Surface* s = surface_of(window);
    s->width = std::max(0, width);
    s->height = std::max(0, height);
    s->pixels.assign(size_t(s->width) * size_t(s->height), k_headless_unpainted);
    s->clip = whole(s);
}

void headless_window_clear(PlatformWindow window, uint32_t colour) {
    Surface* s = surface_of(window);
    std::fill(s->pixels.begin(), s->pixels.end(), colour);
}

uint32_t headless_pixel(PlatformWindow window, int x, int y) {
    const Surface* s = surface_of(window);
    if (x < 0 || y < 0 || x >= s->width || y >= s->height) return k_headless_unpainted;
    return s->pixels[size_t(y) * size_t(s->width) + size_t(x)];
}

const std::vector<uint32_t>& headless_surface(PlatformWindow window) {
    return surface_of(window)->pixels;
}

HeadlessCounters headless_counters(PlatformWindow window) {
    return surface_of(window)->counters;
}
void headless_reset_counters(PlatformWindow window) {
    surface_of(window)->counters = {};
}
bool headless_drawing(PlatformWindow window) {
    return surface_of(window)->drawing;
}

PlatformRegion headless_region_create(const PixelRect* rects, int count) {
    auto* region = new Region;
    region->rects.assign(rects, rects + std::max(0, count));
    return region;
}

void headless_set_clock(uint32_t ms) {
    s_clock_ms = ms;
}
void headless_set_clock_step(uint32_t ms) {
    s_clock_step_ms = ms;
}
void headless_advance_clock(uint32_t ms) {
    s_clock_ms += ms;
}
void headless_set_input_pending(bool pending) {
    s_input_pending = pending;
}

bool headless_write_ppm(PlatformWindow window, const char* path) {
    int width = 0, height = 0;
    plat_client_size(window, &width, &height);
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint32_t p : headless_surface(window)) {
        if (p == k_headless_unpainted) p = 0;
        unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                static_cast<unsigned char>(p >> 8), static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, f);
    }
    return std::fclose(f) == 0;
}
