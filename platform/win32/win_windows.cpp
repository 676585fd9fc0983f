// The two window classes, the two windows and their procedures. The document window is an
// EDIT control used only as a host: every message reaches the EDIT procedure first, then the
// program's own handling.
#include "platform/win32/win_layer.h"
#include "shell/messages.h"
#include "shell/window_procs.h"

namespace {

constexpr const char* k_main_class = "dorvane";
constexpr const char* k_document_class = "fdocument";
constexpr DWORD k_main_style = 0x11CF0000;     // overlapped window, visible, maximised
constexpr DWORD k_document_ex_style = 0x214;   // no parent notify, accepts files, client edge
constexpr DWORD k_document_style = 0x50000900; // child, visible, read-only, no hide selection

WNDPROC s_edit_procedure = nullptr;
HWND s_document = nullptr;

// The wheel message goes to the window with the focus, with the pointer in screen
// coordinates: the document window takes it with the pointer in its own.
void wheel_to_document(WPARAM wparam, LPARAM lparam) {
    if (!s_document) return;
    POINT p = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
    ScreenToClient(s_document, &p);
    RECT r = {0, 0, 0, 0};
    GetClientRect(s_document, &r);
    p.x = p.x < 0 ? 0 : (p.x >= r.right ? r.right - 1 : p.x);
    p.y = p.y < 0 ? 0 : (p.y >= r.bottom ? r.bottom - 1 : p.y);
    if (p.x < 0 || p.y < 0) return; // no client area
    document_window_proc(MSG_MOUSEWHEEL, wparam & 0xFFFF0000u, message_point(p.x, p.y));
}

// The document window covers the main window's client area whatever its size, and is painted
// afresh: the view may have been laid out again for the new size.
void follow_main_window(HWND main_window, WPARAM size_type) {
    if (!s_document || (size_type != SIZE_RESTORED && size_type != SIZE_MAXIMIZED)) return;
    RECT r = {0, 0, 0, 0};
    GetClientRect(main_window, &r);
    MoveWindow(s_document, 0, 0, r.right - r.left, r.bottom - r.top, FALSE);
    InvalidateRect(s_document, nullptr, FALSE);
}

LRESULT CALLBACK main_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MOUSEWHEEL) {
        wheel_to_document(wparam, lparam);
        return 0;
    }
    bool handled = main_window_proc(message, wparam, static_cast<uintptr_t>(lparam));
    if (message == WM_SIZE) follow_main_window(window, wparam);
    if (handled) return 0;
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK document_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_RBUTTONDOWN) return 1; // no context menu
    // The EDIT procedure turns a right button release into its own context menu (through the
    // default procedure's context-menu message); the host shows none.
    if (message == WM_CONTEXTMENU) return 0;
    // The EDIT control would scroll, then hand the wheel on to the main window: taken here once.
    if (message == WM_MOUSEWHEEL) {
        wheel_to_document(wparam, lparam);
        return 0;
    }
    if (message == WM_PAINT) {
        HRGN update = CreateRectRgn(1, 1, 2, 2);
        int type = update ? GetUpdateRgn(window, update, FALSE) : ERROR;
        LRESULT result = CallWindowProcA(s_edit_procedure, window, message, wparam, lparam);
        if (type != NULLREGION && type != ERROR) document_paint(update);
        if (update) DeleteObject(update);
        return result;
    }
    LRESULT result = CallWindowProcA(s_edit_procedure, window, message, wparam, lparam);
    document_window_proc(message, wparam, static_cast<uintptr_t>(lparam));
    return result;
}

bool register_main_class() {
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.style = 0;
    c.lpfnWndProc = main_procedure;
    c.hInstance = g_win_instance;
    c.hIcon = LoadIconA(g_win_instance, "DORVANE");
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    c.lpszClassName = k_main_class;
    c.hIconSm = static_cast<HICON>(LoadImageA(g_win_instance, k_main_class, IMAGE_ICON, 16, 16, 0));
    return RegisterClassExA(&c) != 0;
}

// A copy of the system EDIT class, procedure included, that takes double clicks.
bool register_document_class() {
    WNDCLASSA c = {};
    if (!GetClassInfoA(nullptr, "EDIT", &c)) return false;
    c.style = CS_DBLCLKS;
    c.hInstance = g_win_instance;
    c.hIcon = nullptr;
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    c.lpszMenuName = nullptr;
    c.lpszClassName = k_document_class;
    return RegisterClassA(&c) != 0;
}

} // namespace

PlatformWindow win_create_main_window(const char* title, PixelRect area) {
    if (!register_main_class()) return nullptr;
    HWND window = CreateWindowExA(0, k_main_class, title, k_main_style, area.left, area.top,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  g_win_instance, nullptr);
    return window;
}

PlatformWindow win_create_document_window(PlatformWindow parent, int width, int height) {
    if (!register_document_class()) return nullptr;
    HWND window = CreateWindowExA(k_document_ex_style, k_document_class, "", k_document_style, 0, 0,
                                  width, height, hwnd_of(parent), nullptr, g_win_instance, nullptr);
    if (!window) return nullptr;
    s_edit_procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(document_procedure));
    s_document = window;
    return window;
}

HWND win_document_window() {
    return s_document;
}
