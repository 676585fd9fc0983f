// The window-system services the shell asks for, on SDL2.
#include "platform/sdl/sdl_layer.h"
#include "shell/messages.h"

#include <cstdio>
#include <cstdlib>

SDL_Window* g_sdl_window = nullptr;
SdlWindowRecord g_sdl_main = {ROLE_MAIN};
SdlWindowRecord g_sdl_document = {ROLE_DOCUMENT};

namespace {

SDL_Cursor* s_cursors[2] = {nullptr, nullptr}; // arrow, hourglass; made on first use

PlatformWindow create_main_window(const char* title, PixelRect area) {
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width < 1 || height < 1) return nullptr;
    g_sdl_window = SDL_CreateWindow(title, area.left, area.top, width, height,
                                    SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    return g_sdl_window ? sdl_main_handle() : nullptr;
}

// The document window is the main window's client area; it is shown at creation, so its
// whole area waits for the first paint.
PlatformWindow create_document_window(PlatformWindow parent, int, int) {
    if (parent != sdl_main_handle() || !g_sdl_window) return nullptr;
    sdl_invalidate_document();
    return sdl_document_handle();
}

void set_title(PlatformWindow window, const char* text) {
    if (window == sdl_main_handle() && g_sdl_window) SDL_SetWindowTitle(g_sdl_window, text);
}

void work_area(PixelRect* area) {
    SDL_Rect r;
    if (SDL_GetDisplayUsableBounds(0, &r) != 0 && SDL_GetDisplayBounds(0, &r) != 0) return;
    *area = PixelRect{r.x, r.y, r.x + r.w, r.y + r.h};
}

void set_focus(PlatformWindow window) {
    sdl_set_focus_window(window);
}

// Destroying the main window delivers its destroy message at once, as DestroyWindow does.
void destroy_window(PlatformWindow window) {
    if (window == sdl_main_handle()) sdl_dispatch_now(window, MSG_DESTROY);
}

void set_timer(PlatformWindow window, int id, int period_ms) {
    sdl_set_timer(window, id, static_cast<uint32_t>(period_ms < 1 ? 1 : period_ms));
}

void post_user_message(PlatformWindow window, int id) {
    sdl_post(window, MSG_USER, static_cast<uintptr_t>(id), 0);
}

void set_cursor(int busy) {
    int which = busy == 1 ? 1 : 0;
    if (!s_cursors[which])
        s_cursors[which] =
            SDL_CreateSystemCursor(which ? SDL_SYSTEM_CURSOR_WAIT : SDL_SYSTEM_CURSOR_ARROW);
    if (s_cursors[which]) SDL_SetCursor(s_cursors[which]);
}

bool key_down(int virtual_key) {
    if (virtual_key == VKEY_SHIFT) return sdl_current_modifiers() & SDL_MOD_SHIFT;
    if (virtual_key == VKEY_CONTROL) return sdl_current_modifiers() & SDL_MOD_CTRL;
    return false;
}

void message_box(const char* text, const char* caption) {
    std::fprintf(stderr, "dorvane: %s\n", text);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, g_sdl_window);
}

void move_to_recycle_bin(const char* path) {
    sdl_move_to_trash(path);
}

// The process ends as it is; tearing SDL down first can send X requests to the window it has
// just destroyed, which Xlib answers by ending the process with exit code 1.
void exit_process(int code) {
    std::exit(code);
}

const PlatformAppOps k_ops = {
    create_main_window,
    create_document_window,
    set_title,
    work_area,
    set_focus,
    destroy_window,
    set_timer,
    sdl_kill_timer,
    post_user_message,
    sdl_discard_timer_messages,
    sdl_discard_key_messages,
    sdl_mouse_move_queued,
    set_cursor,
    key_down,
    message_box,
    sdl_drop_count,
    sdl_drop_name,
    sdl_drop_finish,
    move_to_recycle_bin,
    exit_process,
    nullptr, // the executable's directory comes from the system services
};

} // namespace

const PlatformAppOps* sdl_app_ops() {
    return &k_ops;
}
