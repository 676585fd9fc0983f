// Drawing on the document window with GDI: a device context per drawing pass, rectangular
// clip regions, solid brushes, the 32-bit device-independent bitmap copy, the logical palette
// and window scrolling with its update region.
#include "platform/report/paint_report.h"
#include "platform/win32/win_layer.h"

#include <ctime>
#include <vector>

namespace {

HWND s_window = nullptr; // window of the current drawing pass
HDC s_dc = nullptr;
std::vector<char> s_region_buffer; // grows only

// The pass's device context, or one taken for a single call outside a pass.
struct Dc {
    HWND window;
    HDC dc;
    bool own;
    explicit Dc(PlatformWindow w) : window(hwnd_of(w)), dc(nullptr), own(false) {
        if (s_dc && s_window == window) {
            dc = s_dc;
        } else {
            dc = GetDC(window);
            own = dc != nullptr;
        }
    }
    ~Dc() {
        if (own) ReleaseDC(window, dc);
    }
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;
};

void begin_drawing(PlatformWindow window) {
    s_window = hwnd_of(window);
    s_dc = GetDC(s_window);
    if (!s_dc) return;
    SetMapMode(s_dc, MM_TEXT);
    SetBkMode(s_dc, TRANSPARENT);
}

void end_drawing(PlatformWindow window) {
    if (s_dc) ReleaseDC(hwnd_of(window), s_dc);
    s_dc = nullptr;
    s_window = nullptr;
}

void set_clip(PlatformWindow window, PixelRect clip) {
    Dc dc(window);
    if (!dc.dc) return;
    HRGN region = CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom);
    if (!region) return;
    SelectClipRgn(dc.dc, region);
    DeleteObject(region);
}

bool fill_rect(PlatformWindow window, PixelRect rect, uint32_t colour) {
    Dc dc(window);
    if (!dc.dc) return false;
    HBRUSH brush =
        CreateSolidBrush(RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
    if (!brush) return false;
    HGDIOBJ previous = SelectObject(dc.dc, brush);
    RECT r;
    SetRect(&r, rect.left, rect.top, rect.right, rect.bottom);
    FillRect(dc.dc, &r, brush);
    SelectObject(dc.dc, previous);
    DeleteObject(brush);
    paint_report_drawn();
    return true;
}

void copy_pixels(PlatformWindow window, int x, int y, int width, int height, const uint32_t* pixels,
                 int stride) {
    Dc dc(window);
    if (!dc.dc || !pixels || width < 1 || height < 1) return;
    BITMAPINFO info = {};
    BITMAPINFOHEADER& h = info.bmiHeader;
    h.biSize = 40;
    h.biWidth = stride;
    h.biHeight = -height; // rows top-down
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biSizeImage = 0;
    h.biXPelsPerMeter = 90;
    h.biYPelsPerMeter = 90;
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    SetDIBitsToDevice(dc.dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    paint_report_drawn();
}

PlatformRegion scroll(PlatformWindow window, int dx, int dy) {
    HRGN uncovered = CreateRectRgn(1, 1, 2, 2);
    if (!uncovered) return nullptr;
    if (ScrollWindowEx(hwnd_of(window), dx, dy, nullptr, nullptr, uncovered, nullptr, 0) == ERROR) {
        DeleteObject(uncovered);
        return nullptr;
    }
    return uncovered;
}

int region_rects(PlatformRegion region, PixelRect* out, int capacity) {
    HRGN r = static_cast<HRGN>(region);
    DWORD needed = GetRegionData(r, 0, nullptr);
    if (needed == 0) return 0;
    if (needed > s_region_buffer.size())
        s_region_buffer.resize(s_region_buffer.size() + 2 * needed);
    auto* data = reinterpret_cast<RGNDATA*>(s_region_buffer.data());
    if (GetRegionData(r, static_cast<DWORD>(s_region_buffer.size()), data) == 0) return 0;
    int count = static_cast<int>(data->rdh.nCount);
    const RECT* rects = reinterpret_cast<const RECT*>(data->Buffer);
    for (int i = 0; i < count && i < capacity; i++)
        out[i] = PixelRect{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    return count;
}

void region_delete(PlatformRegion region) {
    DeleteObject(static_cast<HRGN>(region));
}

void client_size(PlatformWindow window, int* width, int* height) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(hwnd_of(window), &r);
    *width = r.right - r.left;
    *height = r.bottom - r.top;
}

PlatformPalette create_palette(const PalEntry* entries, int count) {
    if (count < 0) count = 0;
    if (count > 256) count = 256;
    SIZE_T size = sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY);
    auto* logical = static_cast<LOGPALETTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (!logical) return nullptr;
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < count; i++) {
        logical->palPalEntry[i].peRed = entries[i].red;
        logical->palPalEntry[i].peGreen = entries[i].green;
        logical->palPalEntry[i].peBlue = entries[i].blue;
        logical->palPalEntry[i].peFlags = 0;
    }
    HPALETTE palette = CreatePalette(logical);
    HeapFree(GetProcessHeap(), 0, logical);
    return palette;
}

void realise_palette(PlatformWindow window, PlatformPalette palette) {
    Dc dc(window);
    if (!dc.dc || !palette) return;
    SelectPalette(dc.dc, static_cast<HPALETTE>(palette), FALSE);
    RealizePalette(dc.dc);
}

// Input or other messages waiting below the timer message, or between it and the user message.
bool input_pending() {
    MSG m;
    return PeekMessageA(&m, nullptr, 0, WM_TIMER - 1, PM_NOREMOVE) ||
           PeekMessageA(&m, nullptr, WM_TIMER + 1, WM_USER - 1, PM_NOREMOVE);
}

uint32_t clock_ms() {
    return static_cast<uint32_t>(static_cast<long long>(std::clock()) * 1000 / CLOCKS_PER_SEC);
}

const PlatformWindowOps k_ops = {
    begin_drawing,   end_drawing,   set_clip,      fill_rect,   copy_pixels,
    scroll,          region_rects,  region_delete, client_size, create_palette,
    realise_palette, input_pending, clock_ms,
};

} // namespace

const PlatformWindowOps* win_window_ops() {
    return &k_ops;
}
