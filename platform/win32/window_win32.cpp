// The drawing services on Win32: GDI fills and clips, SetDIBitsToDevice, ScrollWindowEx,
// regions and the logical palette.
#include "platform/win32/win32_layer.h"

#include <ctime>
#include <vector>

namespace {

// The device context of each window while it draws (one pass at a time per window).
struct DrawingWindow {
    HWND window;
    HDC dc;
};
DrawingWindow s_drawing[4] = {};

HDC dc_of(PlatformWindow w) {
    for (DrawingWindow& d : s_drawing)
        if (d.window == static_cast<HWND>(w)) return d.dc;
    return nullptr;
}

void begin_drawing(PlatformWindow w) {
    HWND window = static_cast<HWND>(w);
    for (DrawingWindow& d : s_drawing) {
        if (d.window) continue;
        d.window = window;
        d.dc = GetDC(window);
        SetMapMode(d.dc, MM_TEXT);
        SetBkMode(d.dc, TRANSPARENT);
        return;
    }
}

void end_drawing(PlatformWindow w) {
    for (DrawingWindow& d : s_drawing) {
        if (d.window != static_cast<HWND>(w)) continue;
        ReleaseDC(d.window, d.dc);
        d = DrawingWindow{};
    }
}

void set_clip(PlatformWindow w, PixelRect clip) {
    HDC dc = dc_of(w);
    if (!dc) return;
    HRGN region = CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom);
    SelectClipRgn(dc, region);
    DeleteObject(region);
}

bool fill_rect(PlatformWindow w, PixelRect r, uint32_t colour) {
    HDC dc = dc_of(w);
    if (!dc) return true;
    HBRUSH brush = CreateSolidBrush(RGB(colour >> 16 & 255, colour >> 8 & 255, colour & 255));
    if (!brush) return false;
    RECT rect;
    SetRect(&rect, r.left, r.top, r.right, r.bottom);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
    return true;
}

void copy_pixels(PlatformWindow w, int x, int y, int width, int height, const uint32_t* pixels,
                 int stride) {
    HDC dc = dc_of(w);
    if (!dc) return;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = stride;
    header.biHeight = -height; // rows top-down
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biXPelsPerMeter = 90;
    header.biYPelsPerMeter = 90;
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), pixels,
                      reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS);
}

PlatformRegion scroll(PlatformWindow w, int dx, int dy) {
    HRGN uncovered = CreateRectRgn(1, 1, 2, 2);
    if (ScrollWindowEx(static_cast<HWND>(w), dx, dy, nullptr, nullptr, uncovered, nullptr, 0) ==
        ERROR) {
        DeleteObject(uncovered);
        return nullptr;
    }
    return uncovered;
}

int region_rects(PlatformRegion r, PixelRect* out, int capacity) {
    HRGN region = static_cast<HRGN>(r);
    DWORD bytes = GetRegionData(region, 0, nullptr);
    if (!bytes) return 0;
    std::vector<char> buffer(bytes);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (!GetRegionData(region, bytes, data)) return 0;
    int count = static_cast<int>(data->rdh.nCount);
    const RECT* rects = reinterpret_cast<const RECT*>(data->Buffer);
    for (int i = 0; i < count && i < capacity; i++)
        out[i] = PixelRect{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    return count;
}

void region_delete(PlatformRegion r) {
    DeleteObject(static_cast<HRGN>(r));
}

void client_size(PlatformWindow w, int* width, int* height) {
    RECT rect = {};
    GetClientRect(static_cast<HWND>(w), &rect);
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
}

PlatformPalette create_palette(const PalEntry* entries, int count) {
    std::vector<char> buffer(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY), 0);
    auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < count && i < 256; i++) {
        palette->palPalEntry[i].peRed = entries[i].red;
        palette->palPalEntry[i].peGreen = entries[i].green;
        palette->palPalEntry[i].peBlue = entries[i].blue;
    }
    return CreatePalette(palette);
}

void realise_palette(PlatformWindow w, PlatformPalette p) {
    HDC dc = dc_of(w);
    if (!dc || !p) return;
    SelectPalette(dc, static_cast<HPALETTE>(p), FALSE);
    RealizePalette(dc);
}

bool input_pending() {
    MSG m;
    return PeekMessageA(&m, nullptr, 0, WM_TIMER - 1, PM_NOREMOVE) ||
           PeekMessageA(&m, nullptr, WM_TIMER + 1, WM_USER - 1, PM_NOREMOVE);
}

uint32_t clock_ms() {
    return static_cast<uint32_t>(std::clock() * 1000.0 / CLOCKS_PER_SEC);
}

const PlatformWindowOps k_window_ops = {
    begin_drawing,   end_drawing,   set_clip,      fill_rect,   copy_pixels,
    scroll,          region_rects,  region_delete, client_size, create_palette,
    realise_palette, input_pending, clock_ms,
};

} // namespace

void win32_install_window_ops() {
    platform_install(&k_window_ops);
}
