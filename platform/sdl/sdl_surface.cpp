// Drawing on the SDL window surface. The surface is kept between drawings, so scrolling moves
// its pixels and only the uncovered strip is drawn again; a drawing pass shows what it changed
// when it ends.
#include "platform/report/paint_report.h"
#include "platform/sdl/sdl_layer.h"

#include <algorithm>
#include <cstring>
#include <vector>

int sdl_region_rects(PlatformRegion region, PixelRect* out, int capacity);
void sdl_region_delete(PlatformRegion region);
PlatformRegion sdl_region_create(const PixelRect* rects, int count);

namespace {

struct Pass {
    SDL_Surface* surface = nullptr;
    bool locked = false;
    PixelRect clip{0, 0, 0, 0};
    PixelRect dirty{0, 0, 0, 0};
};

Pass s_pass;
bool s_scrolled = false; // moved pixels wait to be shown with the next pass
int s_palettes = 0;      // palettes handed out; a true-colour surface needs none of them

PixelRect intersect(PixelRect a, PixelRect b) {
    return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                     std::min(a.bottom, b.bottom)};
}

bool empty(PixelRect r) {
    return r.right <= r.left || r.bottom <= r.top;
}

PixelRect whole(const SDL_Surface* s) {
    return PixelRect{0, 0, s->w, s->h};
}

void add_dirty(PixelRect r) {
    if (empty(r)) return;
    if (empty(s_pass.dirty)) {
        s_pass.dirty = r;
        return;
    }
    s_pass.dirty =
        PixelRect{std::min(s_pass.dirty.left, r.left), std::min(s_pass.dirty.top, r.top),
                  std::max(s_pass.dirty.right, r.right), std::max(s_pass.dirty.bottom, r.bottom)};
}

// The surface of the current pass, or of the window when called outside one.
SDL_Surface* surface() {
    if (s_pass.surface) return s_pass.surface;
    return g_sdl_window ? SDL_GetWindowSurface(g_sdl_window) : nullptr;
}

PixelRect drawable(SDL_Surface* s) {
    return s_pass.surface ? intersect(s_pass.clip, whole(s)) : whole(s);
}

void present(PixelRect r) {
    if (!g_sdl_window || empty(r)) return;
    SDL_Rect rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    SDL_UpdateWindowSurfaceRects(g_sdl_window, &rect, 1);
}

void begin_drawing(PlatformWindow) {
    s_pass.surface = g_sdl_window ? SDL_GetWindowSurface(g_sdl_window) : nullptr;
    if (!s_pass.surface) return;
    s_pass.locked = SDL_MUSTLOCK(s_pass.surface) && SDL_LockSurface(s_pass.surface) == 0;
    s_pass.clip = whole(s_pass.surface);
    s_pass.dirty = PixelRect{0, 0, 0, 0};
}

void end_drawing(PlatformWindow) {
    if (!s_pass.surface) return;
    if (s_pass.locked) SDL_UnlockSurface(s_pass.surface);
    PixelRect shown = s_scrolled ? whole(s_pass.surface) : s_pass.dirty;
    s_scrolled = false;
    s_pass = Pass();
    present(shown);
}

void set_clip(PlatformWindow, PixelRect clip) {
    s_pass.clip = clip;
}

bool fill_rect(PlatformWindow, PixelRect r, uint32_t colour) {
    SDL_Surface* s = surface();
    if (!s) return false;
    PixelRect a = intersect(r, drawable(s));
    if (empty(a)) return true;
    SDL_Rect rect{a.left, a.top, a.right - a.left, a.bottom - a.top};
    Uint32 pixel =
        SDL_MapRGB(s->format, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    SDL_FillRect(s, &rect, pixel);
    if (s_pass.surface)
        add_dirty(a);
    else
        present(a);
    paint_report_drawn();
    return true;
}

// 0xRRGGBB words go straight into an XRGB surface; other formats are mapped pixel by pixel.
void copy_row(SDL_Surface* s, uint8_t* dst, const uint32_t* src, int count) {
    if (s->format->format == SDL_PIXELFORMAT_RGB888 ||
        s->format->format == SDL_PIXELFORMAT_ARGB8888) {
        std::memcpy(dst, src, sizeof(uint32_t) * static_cast<size_t>(count));
        return;
    }
    int bytes = s->format->BytesPerPixel;
    for (int i = 0; i < count; i++) {
        uint32_t c = src[i];
        Uint32 p = SDL_MapRGB(s->format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
        uint8_t* d = dst + i * bytes;
        switch (bytes) {
        case 4:
            std::memcpy(d, &p, 4);
            break;
        case 2: {
            uint16_t v = static_cast<uint16_t>(p);
            std::memcpy(d, &v, 2);
            break;
        }
        case 3:
            d[0] = static_cast<uint8_t>(p);
            d[1] = static_cast<uint8_t>(p >> 8);
            d[2] = static_cast<uint8_t>(p >> 16);
            break;
        default:
            d[0] = static_cast<uint8_t>(p);
            break;
        }
    }
}

void copy_pixels(PlatformWindow, int x, int y, int width, int height, const uint32_t* pixels,
                 int stride) {
    SDL_Surface* s = surface();
    if (!s || !pixels) return;
    PixelRect a = intersect(PixelRect{x, y, x + width, y + height}, drawable(s));
    if (empty(a)) return;
    bool lock = !s_pass.surface && SDL_MUSTLOCK(s);
    if (lock && SDL_LockSurface(s) != 0) return;
    auto* base = static_cast<uint8_t*>(s->pixels);
    int bytes = s->format->BytesPerPixel;
    for (int row = a.top; row < a.bottom; row++) {
        const uint32_t* src = pixels + static_cast<long>(row - y) * stride + (a.left - x);
        uint8_t* dst = base + static_cast<long>(row) * s->pitch + static_cast<long>(a.left) * bytes;
        copy_row(s, dst, src, a.right - a.left);
    }
    if (lock) SDL_UnlockSurface(s);
    if (s_pass.surface)
        add_dirty(a);
    else
        present(a);
    paint_report_drawn();
}

// Moves the kept pixels by (dx, dy); the uncovered area is reported, as a scrolled window
// reports its update region: a full-height strip of uncovered columns, then the rows beside it.
PlatformRegion scroll(PlatformWindow, int dx, int dy) {
    SDL_Surface* s = surface();
    if (!s) return nullptr;
    int width = s->w, height = s->h;
    std::vector<PixelRect> uncovered;
    if (std::abs(dx) >= width || std::abs(dy) >= height) {
        if (width > 0 && height > 0) uncovered.push_back(whole(s));
    } else {
        bool lock = !s_pass.surface && SDL_MUSTLOCK(s);
        if (lock && SDL_LockSurface(s) != 0) return nullptr;
        auto* base = static_cast<uint8_t*>(s->pixels);
        int bytes = s->format->BytesPerPixel;
        size_t row_bytes = static_cast<size_t>(width - std::abs(dx)) * static_cast<size_t>(bytes);
        int src_x = dx > 0 ? 0 : -dx, dst_x = dx > 0 ? dx : 0;
        auto move_row = [&](int y) {
            int sy = y - dy;
            if (sy < 0 || sy >= height) return;
            std::memmove(base + static_cast<long>(y) * s->pitch + dst_x * bytes,
                         base + static_cast<long>(sy) * s->pitch + src_x * bytes, row_bytes);
        };
        if (dy > 0)
            for (int y = height - 1; y >= 0; y--) move_row(y);
        else
            for (int y = 0; y < height; y++) move_row(y);
        if (lock) SDL_UnlockSurface(s);
        int strip_left = dx > 0 ? 0 : width + dx, strip_right = dx > 0 ? dx : width;
        if (dx != 0) uncovered.push_back(PixelRect{strip_left, 0, strip_right, height});
        int rows_top = dy > 0 ? 0 : height + dy, rows_bottom = dy > 0 ? dy : height;
        int rest_left = dx > 0 ? dx : 0, rest_right = dx < 0 ? width + dx : width;
        if (dy != 0 && rest_right > rest_left)
            uncovered.push_back(PixelRect{rest_left, rows_top, rest_right, rows_bottom});
    }
    // The moved pixels are shown with the drawing of the uncovered area that follows.
    s_scrolled = true;
    return sdl_region_create(uncovered.data(), static_cast<int>(uncovered.size()));
}

void client_size(PlatformWindow, int* width, int* height) {
    *width = *height = 0;
    if (g_sdl_window) SDL_GetWindowSize(g_sdl_window, width, height);
}

PlatformPalette create_palette(const PalEntry*, int) {
    return &s_palettes;
}

void realise_palette(PlatformWindow, PlatformPalette) {}

bool input_pending() {
    return sdl_input_pending();
}

uint32_t clock_ms() {
    return SDL_GetTicks();
}

const PlatformWindowOps k_ops = {
    begin_drawing,   end_drawing,      set_clip,          fill_rect,   copy_pixels,
    scroll,          sdl_region_rects, sdl_region_delete, client_size, create_palette,
    realise_palette, input_pending,    clock_ms,
};

} // namespace

const PlatformWindowOps* sdl_window_ops() {
    return &k_ops;
}

void sdl_present_all() {
    if (!g_sdl_window || s_pass.surface) return;
    if (SDL_GetWindowSurface(g_sdl_window)) SDL_UpdateWindowSurface(g_sdl_window);
}
