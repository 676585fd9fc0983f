// The message queue. Like the Win32 queue it hands out posted messages first, then input, then
// a paint of whatever part of the document window needs it, and timer messages last; a timer
// that falls due stands for one queued timer message until it is handled or discarded.
#include "platform/report/paint_report.h"
#include "platform/sdl/sdl_layer.h"
#include "shell/messages.h"
#include "shell/window_procs.h"

#include <algorithm>
#include <deque>
#include <vector>

namespace {

struct Message {
    PlatformWindow window;
    uint32_t message;
    uintptr_t wparam, lparam;
    int modifiers;
};

struct Timer {
    PlatformWindow window;
    int id;
    uint32_t period;
    uint32_t due;
};

struct SdlRegion {
    std::vector<PixelRect> rects;
};

std::deque<Message> s_posted, s_input;
std::vector<Timer> s_timers;
bool s_paint_waiting = false;
int s_modifiers = 0;

bool is_key(uint32_t m) {
    return m == MSG_KEYDOWN || m == MSG_KEYUP;
}

void dispatch(const Message& m) {
    s_modifiers = m.modifiers;
    if (m.window == sdl_main_handle()) {
        main_window_proc(m.message, m.wparam, m.lparam);
    } else if (m.window == sdl_document_handle()) {
        document_window_proc(m.message, m.wparam, m.lparam);
    }
}

void paint_document() {
    s_paint_waiting = false;
    int width = 0, height = 0;
    SDL_GetWindowSize(g_sdl_window, &width, &height);
    SdlRegion region;
    region.rects.push_back(PixelRect{0, 0, width, height});
    document_paint(&region);
}

Timer* earliest_timer() {
    Timer* best = nullptr;
    for (Timer& t : s_timers)
        if (!best || static_cast<int32_t>(t.due - best->due) < 0) best = &t;
    return best;
}

bool due(const Timer& t, uint32_t now) {
    return static_cast<int32_t>(now - t.due) >= 0;
}

bool dispatch_one() {
    if (!s_posted.empty()) {
        Message m = s_posted.front();
        s_posted.pop_front();
        dispatch(m);
        return true;
    }
    if (!s_input.empty()) {
        Message m = s_input.front();
        s_input.pop_front();
        dispatch(m);
        return true;
    }
    if (s_paint_waiting) {
        paint_document();
        return true;
    }
    uint32_t now = SDL_GetTicks();
    Timer* t = earliest_timer();
    if (t && due(*t, now)) {
        t->due = now + t->period;
        dispatch(Message{t->window, MSG_TIMER, static_cast<uintptr_t>(t->id), 0, 0});
        return true;
    }
    return false;
}

void report_paint() {
    if (!paint_report_enabled() || s_paint_waiting) return;
    int x = 0, y = 0;
    SDL_GetWindowPosition(g_sdl_window, &x, &y);
    paint_report_if_settled(x, y);
}

} // namespace

// Region handles of this layer are SdlRegion records.
int sdl_region_rects(PlatformRegion region, PixelRect* out, int capacity) {
    const auto* r = static_cast<const SdlRegion*>(region);
    int count = static_cast<int>(r->rects.size());
    for (int i = 0; i < count && i < capacity; i++) out[i] = r->rects[static_cast<size_t>(i)];
    return count;
}

void sdl_region_delete(PlatformRegion region) {
    delete static_cast<SdlRegion*>(region);
}

PlatformRegion sdl_region_create(const PixelRect* rects, int count) {
    auto* r = new SdlRegion;
    r->rects.assign(rects, rects + std::max(0, count));
    return r;
}

void sdl_post(PlatformWindow window, uint32_t message, uintptr_t wparam, uintptr_t lparam) {
    s_posted.push_back(Message{window, message, wparam, lparam, 0});
}

void sdl_post_input(PlatformWindow window, uint32_t message, uintptr_t wparam, uintptr_t lparam,
                    int modifiers) {
    s_input.push_back(Message{window, message, wparam, lparam, modifiers});
}

void sdl_dispatch_now(PlatformWindow window, uint32_t message) {
    dispatch(Message{window, message, 0, 0, s_modifiers});
}

void sdl_invalidate_document() {
    s_paint_waiting = true;
}

void sdl_pump() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) sdl_translate(event);
}

void sdl_set_timer(PlatformWindow window, int id, uint32_t period_ms) {
    uint32_t period = std::max<uint32_t>(1, period_ms);
    uint32_t now = SDL_GetTicks();
    for (Timer& t : s_timers) {
        if (t.window == window && t.id == id) {
            t.period = period;
            t.due = now + period;
            return;
        }
    }
    s_timers.push_back(Timer{window, id, period, now + period});
}

void sdl_kill_timer(PlatformWindow window, int id) {
    s_timers.erase(std::remove_if(s_timers.begin(), s_timers.end(),
                                  [&](const Timer& t) { return t.window == window && t.id == id; }),
                   s_timers.end());
}

// A timer message is queued once its timer is due: dropping it restarts the period.
void sdl_discard_timer_messages() {
    uint32_t now = SDL_GetTicks();
    for (Timer& t : s_timers)
        if (due(t, now)) t.due = now + t.period;
}

void sdl_discard_key_messages() {
    sdl_pump();
    s_input.erase(std::remove_if(s_input.begin(), s_input.end(),
                                 [](const Message& m) { return is_key(m.message); }),
                  s_input.end());
}

bool sdl_mouse_move_queued(PlatformWindow window) {
    sdl_pump();
    for (const Message& m : s_input)
        if (m.window == window && m.message == MSG_MOUSEMOVE) return true;
    return false;
}

// Messages below the timer message, or between it and the user message.
bool sdl_input_pending() {
    sdl_pump();
    auto waiting = [](const std::deque<Message>& q) {
        for (const Message& m : q)
            if (m.message < MSG_TIMER || (m.message > MSG_TIMER && m.message < MSG_USER))
                return true;
        return false;
    };
    return waiting(s_input) || waiting(s_posted);
}

int sdl_current_modifiers() {
    return s_modifiers;
}

int sdl_run_loop() {
    for (;;) {
        sdl_pump();
        if (dispatch_one()) {
            report_paint();
            continue;
        }
        report_paint();
        int wait_ms = -1;
        if (Timer* t = earliest_timer()) {
            int32_t left = static_cast<int32_t>(t->due - SDL_GetTicks());
            wait_ms = std::max(0, left);
        }
        SDL_Event event;
        bool got =
            wait_ms < 0 ? SDL_WaitEvent(&event) != 0 : SDL_WaitEventTimeout(&event, wait_ms) != 0;
        if (got) sdl_translate(event);
    }
}
