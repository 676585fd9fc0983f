#include "shell/window_procs.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/draw_pending.h"
#include "display/invalidate.h"
#include "display/records.h"
#include "display/scroll.h"
#include "display/zoom.h"
#include "platform/app.h"
#include "shell/app_state.h"
#include "shell/app_windows.h"
#include "shell/file_commands.h"
#include "shell/messages.h"
#include "shell/process.h"
#include "shell/startup.h"
#include "shell/status_display.h"
#include "shell/timers.h"

namespace {

void on_size(uintptr_t size_type) {
    if (size_type != SIZE_TYPE_RESTORED && size_type != SIZE_TYPE_MAXIMIZED) return;
    window_resized();
    if (!g_app.timer_owner_id) return;
    g_resize_pending = true;
    schedule_timer(TIMER_RESIZE, 500);
}

void on_close() {
    shutdown_cleanup();
    app_exit(0);
}

// Part of a wheel turn not yet worth a zoom step (fine-grained wheels send less than a notch).
int s_wheel_rest = 0;

// The wheel zooms at the pointer, one level per notch, as the double clicks do.
void on_wheel(int x, int y, int delta) {
    if ((delta > 0) != (s_wheel_rest > 0)) s_wheel_rest = 0; // a change of direction starts afresh
    s_wheel_rest += delta;
    int steps = s_wheel_rest / k_wheel_notch;
    s_wheel_rest -= steps * k_wheel_notch;
    if (steps) zoom_at_point(x, y, steps);
}

bool document_parts(WindowObject** window, View** view) {
    *window = obj_find_as<WindowObject>(CLS_WINDOW, g_app.document_window_id);
    *view = obj_find_as<View>(CLS_VIEW, g_app.view_id);
    return *window && *view;
}

} // namespace

bool main_window_proc(uint32_t message, uintptr_t wparam, uintptr_t) {
    if (g_app.ended) return true;
    // Messages sent while the windows are being made (the first size change) find no
    // window objects yet: the default processing takes them.
    if (!g_app.document_window_id) return false;
    switch (message) {
    case MSG_SIZE:
        on_size(wparam);
        break;
    case MSG_DESTROY:
    case MSG_CLOSE:
        on_close();
        break;
    case MSG_KILLFOCUS:
        app_set_focus(window_handle(g_app.main_window_id));
        break;
    case MSG_KEYDOWN:
        key_command(static_cast<int>(wparam));
        break;
    case MSG_TIMER:
    case MSG_USER:
        timer_message(static_cast<int>(wparam));
        break;
    default:
        return false;
    }
    if (!g_app.ended) show_pending_status();
    return true;
}

void document_window_proc(uint32_t message, uintptr_t wparam, uintptr_t lparam) {
    if (g_app.ended) return;
    int x = message_x(lparam), y = message_y(lparam);
    switch (message) {
    case MSG_SETFOCUS:
        app_set_focus(window_handle(g_app.main_window_id));
        break;
    case MSG_MOUSEMOVE:
        if (app_mouse_move_queued(window_handle(g_app.document_window_id))) break;
        if (!(wparam & k_left_button_flag)) break;
        drag(x, y, true);
        break;
    case MSG_LBUTTONDOWN:
        drag(x, y, false);
        break;
    case MSG_LBUTTONUP:
        update_scroll_ranges();
        break;
    case MSG_LBUTTONDBLCLK:
        zoom_at_point(x, y, +1);
        break;
    case MSG_RBUTTONDBLCLK:
        zoom_at_point(x, y, -1);
        break;
    case MSG_MOUSEWHEEL:
        on_wheel(x, y, message_wheel_delta(wparam));
        break;
    case MSG_DROPFILES:
        drop_files(static_cast<PlatformDrop>(wparam));
        break;
    default:
        break;
    }
}

void window_procs_reset() {
    s_wheel_rest = 0;
}

void document_paint(PlatformRegion update_region) {
    if (g_app.ended || !update_region) return;
    WindowObject* window;
    View* view;
    if (!document_parts(&window, &view)) return;
    add_region(window, view, update_region);
    window = obj_find_as<WindowObject>(CLS_WINDOW, g_app.document_window_id);
    view = obj_find_as<View>(CLS_VIEW, g_app.view_id);
    if (window && view) draw_pending(window, view);
}
