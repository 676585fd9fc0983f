// The headless application layer. Messages are kept in two queues as a window system keeps
// them: posted messages are taken before input; paint comes when both are empty, timer
// messages after paint. The clock only moves when the loop is told to run for a while.
#include "platform/headless/headless_app.h"
#include "platform/app.h"
#include "platform/headless/headless_window.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "shell/window_procs.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>

namespace {

struct Message {
    PlatformWindow window;
    uint32_t message;
    uintptr_t wparam, lparam;
    int modifiers;
};

struct ScheduledInput {
    uint32_t at;
    long order;
    Message message;
};

struct Timer {
    PlatformWindow window;
    int id;
    uint32_t period;
    uint32_t due;
};

struct HeadlessApp {
    PlatformWindow main_window = nullptr;
    PlatformWindow document = nullptr;
    std::map<PlatformWindow, std::string> titles;
    std::deque<Message> posted, input;
    std::vector<ScheduledInput> scheduled;
    long scheduled_order = 0;
    std::vector<Timer> timers;
    std::vector<PixelRect> document_update;
    std::map<uintptr_t, std::vector<std::string>> drops;
    uintptr_t next_drop = 1;
    uint32_t now = 0;
    int modifiers = 0;
    int cursor = -1;
    PlatformWindow focus = nullptr;
    std::vector<HeadlessMessageBox> boxes;
    std::vector<std::string> recycled;
    bool exited = false;
    int exit_code = 0;
    std::string executable_dir;
    int work_width = 640, work_height = 480;
    std::map<uint32_t, long> dispatched;
};

HeadlessApp* s_app = nullptr;
PlatformWindowOps s_window_ops;

HeadlessApp& app() {
    if (!s_app) s_app = new HeadlessApp();
    return *s_app;
}

bool is_input(uint32_t m) {
    return m == MSG_KEYDOWN || m == MSG_KEYUP || (m >= MSG_MOUSEMOVE && m <= MSG_MOUSEWHEEL);
}

void enqueue(const Message& m) {
    if (is_input(m.message))
        app().input.push_back(m);
    else
        app().posted.push_back(m);
}

void post_to_document(uint32_t message, uintptr_t wparam, uintptr_t lparam) {
    if (!app().document) return;
    enqueue(Message{app().document, message, wparam, lparam, app().modifiers});
}

void invalidate_document_whole() {
    int w = 0, h = 0;
    if (!app().document) return;
    plat_client_size(app().document, &w, &h);
    app().document_update.assign(1, PixelRect{0, 0, w, h});
}

// --- the window-system services the shell calls ---

PlatformWindow create_main_window(const char* title, PixelRect area) {
    HeadlessApp& a = app();
    a.main_window = headless_window_create(std::max(0, area.right - area.left),
                                           std::max(0, area.bottom - area.top));
    a.titles[a.main_window] = title;
    return a.main_window;
}

PlatformWindow create_document_window(PlatformWindow, int width, int height) {
    HeadlessApp& a = app();
    a.document = headless_window_create(width, height);
    a.titles[a.document] = "";
    invalidate_document_whole(); // shown at creation: the first paint covers it all
    return a.document;
}

void set_title(PlatformWindow window, const char* text) {
    app().titles[window] = text;
}

void work_area(PixelRect* area) {
    *area = PixelRect{0, 0, app().work_width, app().work_height};
}

void set_focus(PlatformWindow window) {
    HeadlessApp& a = app();
    if (a.focus == window) return;
    a.focus = window;
    // The document window hands the focus on when it receives it.
    if (window == a.document) post_to_document(MSG_SETFOCUS, 0, 0);
}

void dispatch(const Message& m);

void destroy_window(PlatformWindow window) {
    if (window == app().main_window) dispatch(Message{window, MSG_DESTROY, 0, 0, app().modifiers});
}

void set_timer(PlatformWindow window, int id, int period_ms) {
    HeadlessApp& a = app();
    uint32_t period = static_cast<uint32_t>(std::max(1, period_ms));
    for (Timer& t : a.timers) {
        if (t.window == window && t.id == id) {
            t.period = period;
            t.due = a.now + period;
            return;
        }
    }
    a.timers.push_back(Timer{window, id, period, a.now + period});
}

void kill_timer(PlatformWindow window, int id) {
    auto& timers = app().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const Timer& t) { return t.window == window && t.id == id; }),
                 timers.end());
}

void post_user_message(PlatformWindow window, int id) {
    app().posted.push_back(Message{window, MSG_USER, static_cast<uintptr_t>(id), 0, 0});
}

// A due timer stands for its queued message: dropping the message restarts its period.
void discard_timer_messages() {
    HeadlessApp& a = app();
    for (Timer& t : a.timers)
        if (t.due <= a.now) t.due = a.now + t.period;
}

void discard_key_messages() {
    auto& q = app().input;
    q.erase(std::remove_if(q.begin(), q.end(),
                           [](const Message& m) {
                               return m.message == MSG_KEYDOWN || m.message == MSG_KEYUP;
                           }),
            q.end());
}

bool mouse_move_queued(PlatformWindow window) {
    for (const Message& m : app().input)
        if (m.window == window && m.message == MSG_MOUSEMOVE) return true;
    return false;
}

void set_cursor(int busy) {
    app().cursor = busy;
}

bool key_down(int virtual_key) {
    if (virtual_key == VKEY_SHIFT) return app().modifiers & MOD_SHIFT;
    if (virtual_key == VKEY_CONTROL) return app().modifiers & MOD_CTRL;
    return false;
}

void message_box(const char* text, const char* caption) {
    app().boxes.push_back(HeadlessMessageBox{text, caption});
}

int drop_count(PlatformDrop drop) {
    auto it = app().drops.find(drop);
    return it == app().drops.end() ? 0 : static_cast<int>(it->second.size());
}

int drop_name(PlatformDrop drop, int index, char* out, int size) {
    auto it = app().drops.find(drop);
    if (it == app().drops.end() || index < 0 || index >= static_cast<int>(it->second.size()))
        return 0;
    const std::string& name = it->second[static_cast<size_t>(index)];
    if (size > 0) std::snprintf(out, static_cast<size_t>(size), "%s", name.c_str());
    return static_cast<int>(name.size());
}

void drop_finish(PlatformDrop drop) {
    app().drops.erase(drop);
}

void move_to_recycle_bin(const char* path) {
    app().recycled.push_back(path);
}

void exit_process(int code) {
    app().exited = true;
    app().exit_code = code;
}

bool executable_dir(char* out, int size) {
    const std::string& dir = app().executable_dir;
    if (dir.empty() || static_cast<int>(dir.size()) >= size) return false;
    std::snprintf(out, static_cast<size_t>(size), "%s", dir.c_str());
    return true;
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
    executable_dir,
};

// Input waiting below the timer message or between it and the user message.
bool input_pending() {
    auto waiting = [](const std::deque<Message>& q) {
        for (const Message& m : q)
            if (m.message < MSG_TIMER || (m.message > MSG_TIMER && m.message < MSG_USER))
                return true;
        return false;
    };
    return waiting(app().input) || waiting(app().posted);
}

uint32_t clock_ms() {
    return app().now;
}

// --- the loop ---

void dispatch(const Message& m) {
    HeadlessApp& a = app();
    if (a.exited) return;
    a.dispatched[m.message]++;
    a.modifiers = m.modifiers;
    if (m.window == a.main_window)
        main_window_proc(m.message, m.wparam, m.lparam);
    else if (m.window == a.document)
        document_window_proc(m.message, m.wparam, m.lparam);
}

void paint_document() {
    HeadlessApp& a = app();
    std::vector<PixelRect> rects;
    rects.swap(a.document_update);
    PlatformRegion region = headless_region_create(rects.data(), static_cast<int>(rects.size()));
    a.dispatched[MSG_PAINT]++;
    document_paint(region);
    plat_region_delete(region);
}

void release_scheduled_input() {
    HeadlessApp& a = app();
    std::stable_sort(a.scheduled.begin(), a.scheduled.end(),
                     [](const ScheduledInput& x, const ScheduledInput& y) {
                         return x.at != y.at ? x.at < y.at : x.order < y.order;
                     });
    size_t n = 0;
    while (n < a.scheduled.size() && a.scheduled[n].at <= a.now) enqueue(a.scheduled[n++].message);
    a.scheduled.erase(a.scheduled.begin(), a.scheduled.begin() + static_cast<long>(n));
}

Timer* earliest_timer() {
    Timer* best = nullptr;
    for (Timer& t : app().timers)
        if (!best || t.due < best->due) best = &t;
    return best;
}

// Dispatches one thing that is due now; false when nothing is.
bool dispatch_one() {
    HeadlessApp& a = app();
    release_scheduled_input();
    if (!a.posted.empty()) {
        Message m = a.posted.front();
        a.posted.pop_front();
        dispatch(m);
        return true;
    }
    if (!a.input.empty()) {
        Message m = a.input.front();
        a.input.pop_front();
        dispatch(m);
        return true;
    }
    if (!a.document_update.empty()) {
        paint_document();
        return true;
    }
    Timer* t = earliest_timer();
    if (t && t->due <= a.now) {
        t->due = a.now + t->period;
        dispatch(Message{t->window, MSG_TIMER, static_cast<uintptr_t>(t->id), 0, 0});
        return true;
    }
    return false;
}

// Time of the next timer or scheduled input, if any.
bool next_event_time(uint32_t* at) {
    HeadlessApp& a = app();
    bool found = false;
    if (Timer* t = earliest_timer()) {
        *at = t->due;
        found = true;
    }
    for (const ScheduledInput& s : a.scheduled) {
        if (!found || s.at < *at) *at = s.at;
        found = true;
    }
    return found;
}

// Runs until the clock reaches target; when stop_when_idle, stops early once nothing at all
// is left to happen.
void run_until(uint32_t target, bool stop_when_idle) {
    HeadlessApp& a = app();
    for (;;) {
        while (!a.exited && dispatch_one()) {
        }
        if (a.exited) return;
        uint32_t at = 0;
        bool more = next_event_time(&at);
        if (!more && stop_when_idle) return;
        if (!more || at > target) break;
        a.now = std::max(a.now, at);
    }
    a.now = std::max(a.now, target);
}

uintptr_t point(int x, int y) {
    return message_point(x, y);
}

void post_input(uint32_t message, uintptr_t wparam, uintptr_t lparam) {
    post_to_document(message, wparam, lparam);
}

} // namespace

void headless_app_reset() {
    HeadlessApp& a = app();
    if (a.main_window) headless_window_destroy(a.main_window);
    if (a.document) headless_window_destroy(a.document);
    std::string dir = a.executable_dir;
    a = HeadlessApp();
    a.executable_dir = dir;
    headless_install();
    s_window_ops = *g_platform;
    s_window_ops.input_pending = input_pending;
    s_window_ops.clock_ms = clock_ms;
    platform_install(&s_window_ops);
    platform_app_install(&k_app_ops);
}

void headless_app_set_executable_dir(const std::string& dir) {
    app().executable_dir = dir;
}

void headless_app_set_work_area(int width, int height) {
    app().work_width = width;
    app().work_height = height;
}

bool headless_app_start(const char* command_line) {
    return app_start(command_line);
}

bool headless_app_start_paths(const std::vector<std::string>& paths) {
    std::vector<const char*> names;
    for (const std::string& p : paths) names.push_back(p.c_str());
    return app_start_paths(static_cast<int>(names.size()), names.data());
}

void headless_key(int virtual_key, int modifiers) {
    HeadlessApp& a = app();
    if (!a.main_window) return;
    enqueue(Message{a.main_window, MSG_KEYDOWN, static_cast<uintptr_t>(virtual_key), 1, modifiers});
    enqueue(Message{a.main_window, MSG_KEYUP, static_cast<uintptr_t>(virtual_key), 1, modifiers});
}

void headless_key_held(int virtual_key, int count, uint32_t interval_ms, int modifiers) {
    HeadlessApp& a = app();
    if (!a.main_window) return;
    auto schedule = [&](uint32_t at, uint32_t message) {
        a.scheduled.push_back(ScheduledInput{
            at, a.scheduled_order++,
            Message{a.main_window, message, static_cast<uintptr_t>(virtual_key), 1, modifiers}});
    };
    for (int i = 0; i < count; i++)
        schedule(a.now + static_cast<uint32_t>(i) * interval_ms, MSG_KEYDOWN);
    schedule(a.now + static_cast<uint32_t>(std::max(0, count - 1)) * interval_ms, MSG_KEYUP);
}

void headless_mouse_move(int x, int y, bool left_button) {
    post_input(MSG_MOUSEMOVE, left_button ? k_left_button_flag : 0, point(x, y));
}
void headless_left_down(int x, int y) {
    post_input(MSG_LBUTTONDOWN, k_left_button_flag, point(x, y));
}
void headless_left_up(int x, int y) {
    post_input(MSG_LBUTTONUP, 0, point(x, y));
}
void headless_left_double_click(int x, int y) {
    post_input(MSG_LBUTTONDOWN, k_left_button_flag, point(x, y));
    post_input(MSG_LBUTTONUP, 0, point(x, y));
    post_input(MSG_LBUTTONDBLCLK, k_left_button_flag, point(x, y));
    post_input(MSG_LBUTTONUP, 0, point(x, y));
}
void headless_right_click(int x, int y) {
    post_input(MSG_RBUTTONDOWN, 0, point(x, y));
    post_input(MSG_RBUTTONUP, 0, point(x, y));
}
void headless_right_double_click(int x, int y) {
    headless_right_click(x, y);
    post_input(MSG_RBUTTONDBLCLK, 0, point(x, y));
    post_input(MSG_RBUTTONUP, 0, point(x, y));
}

void headless_wheel(int x, int y, int delta) {
    post_input(MSG_MOUSEWHEEL, message_wheel_wparam(delta), point(x, y));
}

void headless_drop(const std::vector<std::string>& names) {
    HeadlessApp& a = app();
    uintptr_t handle = a.next_drop++;
    a.drops[handle] = names;
    post_to_document(MSG_DROPFILES, handle, 0);
}

void headless_resize(int width, int height) {
    HeadlessApp& a = app();
    if (!a.main_window) return;
    headless_window_resize(a.main_window, width, height);
    // The document window follows the main window's client area, as a user sees it.
    if (a.document) headless_window_resize(a.document, width, height);
    uintptr_t size = (static_cast<uintptr_t>(height & 0xFFFF) << 16) | (width & 0xFFFF);
    a.posted.push_back(Message{a.main_window, MSG_SIZE, SIZE_TYPE_RESTORED, size, 0});
    invalidate_document_whole();
}

void headless_close() {
    HeadlessApp& a = app();
    if (a.main_window) a.posted.push_back(Message{a.main_window, MSG_CLOSE, 0, 0, 0});
}

void headless_run_until_idle(uint32_t limit_ms) {
    run_until(app().now + limit_ms, true);
}

void headless_run_for(uint32_t ms) {
    run_until(app().now + ms, false);
}

uint32_t headless_now() {
    return app().now;
}
PlatformWindow headless_main_window() {
    return app().main_window;
}
PlatformWindow headless_document_window() {
    return app().document;
}
std::string headless_title() {
    auto it = app().titles.find(app().main_window);
    return it == app().titles.end() ? std::string() : it->second;
}
int headless_cursor() {
    return app().cursor;
}
PlatformWindow headless_focus() {
    return app().focus;
}
const std::vector<HeadlessMessageBox>& headless_message_boxes() {
    return app().boxes;
}
const std::vector<std::string>& headless_recycled() {
    return app().recycled;
}
bool headless_exited() {
    return app().exited;
}
int headless_exit_code() {
    return app().exit_code;
}
uint32_t headless_timer_period(int id) {
    for (const Timer& t : app().timers)
        if (t.window == app().main_window && t.id == id) return t.period;
    return 0;
}
long headless_dispatched(uint32_t message) {
    auto it = app().dispatched.find(message);
    return it == app().dispatched.end() ? 0 : it->second;
}
