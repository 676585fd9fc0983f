// The two shell services the display asks for: the redraw timer and the busy cursor. The
// shell installs them at start-up; without them the display simply skips the request.
#pragma once

extern void (*g_schedule_timer_hook)(int timer_id, int period_ms);
extern void (*g_busy_cursor_hook)(int busy);

inline void display_schedule_timer(int timer_id, int period_ms) {
    if (g_schedule_timer_hook) g_schedule_timer_hook(timer_id, period_ms);
}
inline void display_busy_cursor(int busy) {
    if (g_busy_cursor_hook) g_busy_cursor_hook(busy);
}

constexpr int k_redraw_timer = 1;
