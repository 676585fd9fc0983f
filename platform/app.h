// The window-system services the application shell asks for, in the shell's own terms: its
// two windows and their titles, timers, the queue checks, the cursor, key state, message boxes,
// dropped names, the recycle bin and ending the process. A platform layer (Win32 or the
// in-memory headless one) installs its table; until then every call is a harmless no-op.
#pragma once
#include "platform/window.h"
#include <cstdint>

// A drop carried by a dropped-files message; the layer hands out the names it holds.
using PlatformDrop = uintptr_t;

struct PlatformAppOps {
    // Top-level window with the title over the given rectangle; nullptr on failure.
    PlatformWindow (*create_main_window)(const char* title, PixelRect area);
    // Child of the main window at (0, 0) with that size, accepting dropped files.
    PlatformWindow (*create_document_window)(PlatformWindow parent, int width, int height);
    void (*set_title)(PlatformWindow window, const char* text);
    void (*work_area)(PixelRect* area);
    void (*set_focus)(PlatformWindow window);
    // Destroys the window; the main window's procedure then receives the destroy message.
    void (*destroy_window)(PlatformWindow window);
    // Timers of one window, reported by timer messages carrying the id.
    void (*set_timer)(PlatformWindow window, int id, int period_ms);
    void (*kill_timer)(PlatformWindow window, int id);
    // Queues the user message carrying the id for the window.
    void (*post_user_message)(PlatformWindow window, int id);
    // Drops queued timer messages of every window and id, and queued key presses and releases.
    void (*discard_timer_messages)();
    void (*discard_key_messages)();
    // True when another mouse-move message for the window waits in the queue.
    bool (*mouse_move_queued)(PlatformWindow window);
    // 0 arrow, 1 hourglass.
    void (*set_cursor)(int busy);
    // True while the key (virtual key code) is down.
    bool (*key_down)(int virtual_key);
    void (*message_box)(const char* text, const char* caption);
    int (*drop_count)(PlatformDrop drop);
    // Copies name number index; returns its full length (copy truncated to size - 1).
    int (*drop_name)(PlatformDrop drop, int index, char* out, int size);
    void (*drop_finish)(PlatformDrop drop);
    void (*move_to_recycle_bin)(const char* path);
    // Ends the process. A layer that records the exit instead returns, and the shell stops.
    void (*exit_process)(int code);
    // Directory of the running executable ('/' separators, no trailing '/').
    bool (*executable_dir)(char* out, int size);
};

extern const PlatformAppOps* g_app_platform;
inline void platform_app_install(const PlatformAppOps* ops) {
    g_app_platform = ops;
}

#define DORVANE_APP_CALL(fn, fallback, ...)                                                        \
    (g_app_platform && g_app_platform->fn ? g_app_platform->fn(__VA_ARGS__) : fallback)

inline PlatformWindow app_create_main_window(const char* title, PixelRect area) {
    return DORVANE_APP_CALL(create_main_window, nullptr, title, area);
}
inline PlatformWindow app_create_document_window(PlatformWindow parent, int width, int height) {
    return DORVANE_APP_CALL(create_document_window, nullptr, parent, width, height);
}
inline void app_set_title(PlatformWindow w, const char* text) {
    if (g_app_platform && g_app_platform->set_title) g_app_platform->set_title(w, text);
}
inline void app_work_area(PixelRect* area) {
    *area = PixelRect{0, 0, 640, 480};
    if (g_app_platform && g_app_platform->work_area) g_app_platform->work_area(area);
}
inline void app_set_focus(PlatformWindow w) {
    if (g_app_platform && g_app_platform->set_focus) g_app_platform->set_focus(w);
}
inline void app_destroy_window(PlatformWindow w) {
    if (g_app_platform && g_app_platform->destroy_window) g_app_platform->destroy_window(w);
}
inline void app_set_timer(PlatformWindow w, int id, int period_ms) {
    if (g_app_platform && g_app_platform->set_timer) g_app_platform->set_timer(w, id, period_ms);
}
inline void app_kill_timer(PlatformWindow w, int id) {
    if (g_app_platform && g_app_platform->kill_timer) g_app_platform->kill_timer(w, id);
}
inline void app_post_user_message(PlatformWindow w, int id) {
    if (g_app_platform && g_app_platform->post_user_message)
        g_app_platform->post_user_message(w, id);
}
inline void app_discard_timer_messages() {
    if (g_app_platform && g_app_platform->discard_timer_messages)
        g_app_platform->discard_timer_messages();
}
inline void app_discard_key_messages() {
    if (g_app_platform && g_app_platform->discard_key_messages)
        g_app_platform->discard_key_messages();
}
inline bool app_mouse_move_queued(PlatformWindow w) {
    return DORVANE_APP_CALL(mouse_move_queued, false, w);
}
inline void app_set_cursor(int busy) {
    if (g_app_platform && g_app_platform->set_cursor) g_app_platform->set_cursor(busy);
}
inline bool app_key_down(int virtual_key) {
    return DORVANE_APP_CALL(key_down, false, virtual_key);
}
inline void app_message_box(const char* text, const char* caption) {
    if (g_app_platform && g_app_platform->message_box) g_app_platform->message_box(text, caption);
}
inline int app_drop_count(PlatformDrop drop) {
    return DORVANE_APP_CALL(drop_count, 0, drop);
}
inline int app_drop_name(PlatformDrop drop, int index, char* out, int size) {
    if (size > 0) out[0] = 0;
    return DORVANE_APP_CALL(drop_name, 0, drop, index, out, size);
}
inline void app_drop_finish(PlatformDrop drop) {
    if (g_app_platform && g_app_platform->drop_finish) g_app_platform->drop_finish(drop);
}
inline void app_move_to_recycle_bin(const char* path) {
    if (g_app_platform && g_app_platform->move_to_recycle_bin)
        g_app_platform->move_to_recycle_bin(path);
}
inline void app_exit_process(int code) {
    if (g_app_platform && g_app_platform->exit_process) g_app_platform->exit_process(code);
}

#undef DORVANE_APP_CALL
