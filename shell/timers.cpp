#include "shell/timers.h"
#include "display/draw_pending.h"
#include "display/input_check.h"
#include "platform/app.h"
#include "shell/app_state.h"
#include "shell/app_windows.h"
#include "shell/page_step.h"

namespace {

enum TimerState { TIMER_IDLE = 0, TIMER_POSTED = 1, TIMER_RUNNING = 2 };
constexpr int k_timer_slots = 10;
int s_timer_state[k_timer_slots] = {};
int s_cursor = -1; // unknown until first set

PlatformWindow timer_owner() {
    return window_handle(g_app.timer_owner_id);
}

bool valid_id(int id) {
    return id >= 0 && id < k_timer_slots;
}

void redraw_tick() {
    if (g_resize_pending) return;
    if (input_pending()) {
        schedule_timer(TIMER_REDRAW, 10);
        return;
    }
    redraw_if_pending(g_app.document_window_id);
    set_busy_cursor(0);
    discard_key_messages();
}

} // namespace

bool g_resize_pending = false;

void timers_reset() {
    for (int& s : s_timer_state) s = TIMER_IDLE;
    s_cursor = -1;
    g_resize_pending = false;
}

void schedule_timer(int id, int period_ms) {
    if (!g_app.timer_owner_id || !valid_id(id)) return;
    if (s_timer_state[id] == TIMER_POSTED) return;
    PlatformWindow owner = timer_owner();
    if (period_ms < 1) {
        if (s_timer_state[id] == TIMER_RUNNING) app_kill_timer(owner, id);
        app_post_user_message(owner, id);
        s_timer_state[id] = TIMER_POSTED;
        return;
    }
    if (s_timer_state[id] == TIMER_RUNNING) return; // a running timer keeps its period
    app_set_timer(owner, id, period_ms);
    s_timer_state[id] = TIMER_RUNNING;
}

void cancel_timer(int id) {
    if (!valid_id(id) || s_timer_state[id] != TIMER_RUNNING) return;
    app_kill_timer(timer_owner(), id);
    app_discard_timer_messages();
    s_timer_state[id] = TIMER_IDLE;
}

void discard_key_messages() {
    app_discard_key_messages();
}

void set_busy_cursor(int busy) {
    int wanted = busy == 1 ? 1 : 0;
    if (wanted == s_cursor) return;
    s_cursor = wanted;
    app_set_cursor(wanted);
}

void timer_message(int id) {
    cancel_timer(id);
    discard_key_messages();
    if (valid_id(id)) s_timer_state[id] = TIMER_IDLE;
    switch (id) {
    case TIMER_REDRAW:
        redraw_tick();
        break;
    case TIMER_RESIZE:
        g_resize_pending = false;
        break;
    case TIMER_FRAME:
        step_page(2);
        break;
    default:
        break;
    }
}
