// The key table: one operation per virtual key code.
#include "core/registry.h"
#include "display/scroll.h"
#include "display/zoom.h"
#include "platform/app.h"
#include "shell/app_state.h"
#include "shell/app_windows.h"
#include "shell/file_commands.h"
#include "shell/messages.h"
#include "shell/page_step.h"
#include "shell/rotate.h"
#include "shell/window_procs.h"

namespace {

void key_escape() {
    app_destroy_window(window_handle(g_app.main_window_id));
}
void key_space() {
    step_page(app_key_down(VKEY_SHIFT) ? -1 : +1);
}
void key_page_up() {
    pan(PAN_PAGE_UP);
}
void key_page_down() {
    pan(PAN_PAGE_DOWN);
}
void key_end() {
    pan(PAN_BOTTOM);
}
void key_home() {
    pan(PAN_TOP);
}
void key_left() {
    pan(PAN_LEFT);
}
void key_up() {
    pan(PAN_UP);
}
void key_right() {
    pan(PAN_RIGHT);
}
void key_down() {
    pan(PAN_DOWN);
}
void key_delete() {
    remove_current_entry(app_key_down(VKEY_CONTROL));
}
void key_zoom_in() {
    zoom_step(+1);
}
void key_zoom_out() {
    zoom_step(-1);
}
void key_actual_size() {
    set_zoom(false, 1.0);
    refresh_view();
}
void key_fit() {
    set_zoom(true, 0.0);
    refresh_view();
}
void key_turn_left() {
    rotate_page(1);
}
void key_turn_right() {
    rotate_page(2);
}
void key_program_title() {
    set_main_title(k_program_title);
}

struct KeyBinding {
    int virtual_key;
    void (*operation)();
};

const KeyBinding k_key_table[] = {
    {VKEY_ESCAPE, key_escape},
    {VKEY_SPACE, key_space},
    {VKEY_PAGE_UP, key_page_up},
    {VKEY_PAGE_DOWN, key_page_down},
    {VKEY_END, key_end},
    {VKEY_HOME, key_home},
    {VKEY_LEFT, key_left},
    {VKEY_UP, key_up},
    {VKEY_RIGHT, key_right},
    {VKEY_DOWN, key_down},
    {VKEY_DELETE, key_delete},
    {VKEY_ADD, key_zoom_in},
    {VKEY_SUBTRACT, key_zoom_out},
    {VKEY_F1, key_zoom_in},
    {VKEY_F2, key_zoom_out},
    {VKEY_F3, key_actual_size},
    {VKEY_F4, key_fit},
    {VKEY_F7, key_turn_left},
    {VKEY_F8, key_turn_right},
    {VKEY_F12, key_program_title},
    // Keyboards without a keypad zoom with the main keyboard's "+" ("=") and "-".
    {VKEY_OEM_PLUS, key_zoom_in},
    {VKEY_OEM_MINUS, key_zoom_out},
};

} // namespace

void key_command(int virtual_key) {
    for (const KeyBinding& binding : k_key_table) {
        if (binding.virtual_key == virtual_key) {
            binding.operation();
            return;
        }
    }
}
