// The Win32 application layer: the program's entry point, the window classes and the two
// window procedures, and the services the shell asks of the window system.
#include "platform/win32/win32_layer.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "shell/window_procs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <shellapi.h>

namespace {

HINSTANCE s_instance = nullptr;
WNDPROC s_edit_proc = nullptr; // the host control's procedure, kept for forwarding

LRESULT CALLBACK main_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (main_window_proc(message, wparam, static_cast<uintptr_t>(lparam))) return 0;
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK document_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_RBUTTONDOWN) return 1; // no context menu
    if (message == WM_PAINT) {
        HRGN region = CreateRectRgn(1, 1, 2, 2);
        int type = GetUpdateRgn(window, region, FALSE);
        LRESULT result = CallWindowProcA(s_edit_proc, window, message, wparam, lparam);
        if (type != NULLREGION && type != ERROR) document_paint(region);
        DeleteObject(region);
        return result;
    }
    LRESULT result = CallWindowProcA(s_edit_proc, window, message, wparam, lparam);
    document_window_proc(message, wparam, static_cast<uintptr_t>(lparam));
    return result;
}

PlatformWindow create_main_window(const char* title, PixelRect area) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = main_proc;
    wc.hInstance = s_instance;
    wc.hIcon = LoadIconA(s_instance, "DORVANE");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "dorvane";
    wc.hIconSm = static_cast<HICON>(LoadImageA(s_instance, "dorvane", IMAGE_ICON, 16, 16, 0));
    if (!RegisterClassExA(&wc)) return nullptr;
    HWND window = CreateWindowExA(0, "dorvane", title, 0x11CF0000, area.left, area.top,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  s_instance, nullptr);
    if (window) SetActiveWindow(window);
    return window;
}

PlatformWindow create_document_window(PlatformWindow parent, int width, int height) {
    WNDCLASSA wc = {};
    if (!GetClassInfoA(nullptr, "EDIT", &wc)) return nullptr;
    wc.style = CS_DBLCLKS;
    wc.hInstance = s_instance;
    wc.hIcon = nullptr;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = "fdocument";
    if (!RegisterClassA(&wc)) return nullptr;
    HWND window = CreateWindowExA(0x214, "fdocument", "", 0x50000900, 0, 0, width, height,
                                  static_cast<HWND>(parent), nullptr, s_instance, nullptr);
    if (!window) return nullptr;
    s_edit_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(document_proc));
    return window;
}

void set_title(PlatformWindow window, const char* text) {
    SetWindowTextA(static_cast<HWND>(window), text);
}

void work_area(PixelRect* area) {
    RECT r = {0, 0, 640, 480};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    *area = PixelRect{r.left, r.top, r.right, r.bottom};
}

void set_focus(PlatformWindow window) {
    SetFocus(static_cast<HWND>(window));
}
void destroy_window(PlatformWindow window) {
    DestroyWindow(static_cast<HWND>(window));
}

void set_timer(PlatformWindow window, int id, int period_ms) {
    SetTimer(static_cast<HWND>(window), static_cast<UINT_PTR>(id), static_cast<UINT>(period_ms),
             nullptr);
}
void kill_timer(PlatformWindow window, int id) {
    KillTimer(static_cast<HWND>(window), static_cast<UINT_PTR>(id));
}
void post_user_message(PlatformWindow window, int id) {
    PostMessageA(static_cast<HWND>(window), WM_USER, static_cast<WPARAM>(id), 0);
}

void drain(UINT first, UINT last) {
    MSG m;
    while (PeekMessageA(&m, nullptr, first, last, PM_REMOVE)) {
    }
}
void discard_timer_messages() {
    drain(WM_TIMER, WM_TIMER);
}
void discard_key_messages() {
    drain(WM_KEYDOWN, WM_KEYUP);
}

bool mouse_move_queued(PlatformWindow window) {
    MSG m;
    return PeekMessageA(&m, static_cast<HWND>(window), WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE);
}

void set_cursor(int busy) {
    static HCURSOR arrow = nullptr, wait = nullptr; // loaded on first use
    if (busy == 1) {
        if (!wait) wait = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
        SetCursor(wait);
    } else {
        if (!arrow) arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        SetCursor(arrow);
    }
}

bool key_down(int virtual_key) {
    return GetKeyState(virtual_key) < 0;
}

void message_box(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_ICONHAND);
}

int drop_count(PlatformDrop drop) {
    return static_cast<int>(DragQueryFileA(reinterpret_cast<HDROP>(drop), 0xFFFFFFFF, nullptr, 0));
}

int drop_name(PlatformDrop drop, int index, char* out, int size) {
    HDROP h = reinterpret_cast<HDROP>(drop);
    UINT length = DragQueryFileA(h, static_cast<UINT>(index), nullptr, 0);
    DragQueryFileA(h, static_cast<UINT>(index), out, static_cast<UINT>(size));
    return static_cast<int>(length);
}

void drop_finish(PlatformDrop drop) {
    DragFinish(reinterpret_cast<HDROP>(drop));
}

void move_to_recycle_bin(const char* path) {
    char from[MAX_PATH + 2] = {};
    std::snprintf(from, MAX_PATH, "%s", path);
    for (char* p = from; *p; p++)
        if (*p == '/') *p = '\\';
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from;  // followed by two terminators
    op.fFlags = 0x54; // silent, no confirmation, allow undo
    SHFileOperationA(&op);
}

void exit_process(int code) {
    std::exit(code);
}

const PlatformAppOps k_app_ops = {
    create_main_window,
    create_document_window,
    set_title,
    work_area,
    set_focus,
    destroy_window,
    set_timer,
    kill_timer,
    post_user_message,
    discard_timer_messages,
    discard_key_messages,
    mouse_move_queued,
    set_cursor,
    key_down,
    message_box,
    drop_count,
    drop_name,
    drop_finish,
    move_to_recycle_bin,
    exit_process,
    nullptr, // the executable's directory comes from the system services
};

} // namespace

void win32_install_app_ops(HINSTANCE instance) {
    s_instance = instance;
    platform_app_install(&k_app_ops);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    win32_install_window_ops();
    win32_install_app_ops(instance);
    if (!app_start(command_line)) return 1;
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return static_cast<int>(m.wParam);
}
