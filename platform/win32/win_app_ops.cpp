// The window-system services the shell asks for, on Win32.
#include "platform/win32/win_layer.h"

#include <shellapi.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HCURSOR s_cursors[2] = {nullptr, nullptr}; // arrow, hourglass; loaded on first use

void set_title(PlatformWindow window, const char* text) {
    SetWindowTextA(hwnd_of(window), text);
}

void work_area(PixelRect* area) {
    RECT r;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return;
    *area = PixelRect{r.left, r.top, r.right, r.bottom};
}

void set_focus(PlatformWindow window) {
    HWND w = hwnd_of(window);
    if (!GetParent(w)) SetActiveWindow(w);
    SetFocus(w);
}

void destroy_window(PlatformWindow window) {
    DestroyWindow(hwnd_of(window));
}

void set_timer(PlatformWindow window, int id, int period_ms) {
    SetTimer(hwnd_of(window), static_cast<UINT_PTR>(id), static_cast<UINT>(period_ms), nullptr);
}

void kill_timer(PlatformWindow window, int id) {
    KillTimer(hwnd_of(window), static_cast<UINT_PTR>(id));
}

void post_user_message(PlatformWindow window, int id) {
    PostMessageA(hwnd_of(window), WM_USER, static_cast<WPARAM>(id), 0);
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
    return PeekMessageA(&m, hwnd_of(window), WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE) != 0;
}

void set_cursor(int busy) {
    int which = busy == 1 ? 1 : 0;
    if (!s_cursors[which]) s_cursors[which] = LoadCursorA(nullptr, which ? IDC_WAIT : IDC_ARROW);
    SetCursor(s_cursors[which]);
}

bool key_down(int virtual_key) {
    return GetKeyState(virtual_key) < 0;
}

void message_box(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_ICONHAND);
}

HDROP drop_of(PlatformDrop drop) {
    return reinterpret_cast<HDROP>(drop);
}

int drop_count(PlatformDrop drop) {
    return static_cast<int>(DragQueryFileA(drop_of(drop), 0xFFFFFFFF, nullptr, 0));
}

int drop_name(PlatformDrop drop, int index, char* out, int size) {
    char name[256];
    UINT n = DragQueryFileA(drop_of(drop), static_cast<UINT>(index), name, sizeof name);
    name[n < sizeof name ? n : sizeof name - 1] = 0;
    if (size > 0) std::snprintf(out, static_cast<size_t>(size), "%s", name);
    return static_cast<int>(n);
}

void drop_finish(PlatformDrop drop) {
    DragFinish(drop_of(drop));
}

// To the recycle bin, silently and without confirmation.
void move_to_recycle_bin(const char* path) {
    size_t n = std::strlen(path);
    char* from = static_cast<char*>(std::calloc(n + 2, 1)); // two terminators
    if (!from) return;
    std::memcpy(from, path, n);
    SHFILEOPSTRUCTA op = {};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    op.pTo = nullptr;
    op.fFlags = 0x54; // FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO
    SHFileOperationA(&op);
    std::free(from);
}

void exit_process(int code) {
    std::exit(code);
}

bool executable_dir(char* out, int size) {
    char path[255];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return false;
    path[n] = 0;
    for (char* p = path; *p; p++)
        if (*p == '\\') *p = '/';
    char* slash = std::strrchr(path, '/');
    if (!slash) return false;
    *slash = 0;
    if (static_cast<int>(std::strlen(path)) + 1 > size) return false;
    std::memcpy(out, path, std::strlen(path) + 1);
    return true;
}

const PlatformAppOps k_ops = {
    win_create_main_window,
    win_create_document_window,
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
    executable_dir,
};

} // namespace

const PlatformAppOps* win_app_ops() {
    return &k_ops;
}
