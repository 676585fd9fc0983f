#include "shell/app_windows.h"
#include "core/registry.h"
#include "display/records.h"
#include "platform/app.h"
#include "shell/app_state.h"

PlatformWindow window_handle(int window_object_id) {
    auto* w = obj_find_as<WindowObject>(CLS_WINDOW, window_object_id);
    return w ? w->handle : nullptr;
}

void set_main_title(const char* text) {
    PlatformWindow main_window = window_handle(g_app.main_window_id);
    if (main_window) app_set_title(main_window, text);
}
