// The headless application layer: the program's two windows as in-memory surfaces, a message
// queue with a virtual clock, and records of everything a user would see or the program did
// to files. Tests and the snapshot tool post input, advance the clock, run the loop and read
// back titles, pixels, the cursor, message boxes, recycle-bin moves and the exit code.
#pragma once
#include "platform/window.h"
#include <cstdint>
#include <string>
#include <vector>

enum HeadlessModifier { MOD_NONE = 0, MOD_SHIFT = 1, MOD_CTRL = 2 };

// Forgets everything (windows, queue, timers, records), installs the window and application
// tables and sets the clock to 0. The work area defaults to 640 x 480.
void headless_app_reset();
void headless_app_set_executable_dir(const std::string& dir);
void headless_app_set_work_area(int width, int height);
// Runs the program's start-up; false when the process ended during it.
bool headless_app_start(const char* command_line);
// The same with the paths apart, each one name (as a Linux shell passes them).
bool headless_app_start_paths(const std::vector<std::string>& paths);

// Input, queued at the current time.
void headless_key(int virtual_key, int modifiers = MOD_NONE);
// A key held down: count presses, the first now and one every interval_ms after, then the
// release. Presses reach the queue as the clock passes their times.
void headless_key_held(int virtual_key, int count, uint32_t interval_ms, int modifiers = MOD_NONE);
void headless_mouse_move(int x, int y, bool left_button);
void headless_left_down(int x, int y);
void headless_left_up(int x, int y);
void headless_left_double_click(int x, int y);
void headless_right_click(int x, int y);
void headless_right_double_click(int x, int y);
// The wheel turned by delta (120 a notch, positive away from the user) with the pointer there.
void headless_wheel(int x, int y, int delta);
void headless_drop(const std::vector<std::string>& names);
// The user resizes the main window's client area to width x height.
void headless_resize(int width, int height);
void headless_close();

// Dispatches what is queued and what falls due, moving the clock only to the next timer or
// scheduled input, until nothing is left but timers that do not fire within limit_ms.
void headless_run_until_idle(uint32_t limit_ms = 30000);
// Runs the loop while the clock advances by ms.
void headless_run_for(uint32_t ms);
uint32_t headless_now();

// Read back.
PlatformWindow headless_main_window();
PlatformWindow headless_document_window();
std::string headless_title();
int headless_cursor(); // -1 never set, 0 arrow, 1 hourglass
PlatformWindow headless_focus();
struct HeadlessMessageBox {
    std::string text, caption;
};
const std::vector<HeadlessMessageBox>& headless_message_boxes();
const std::vector<std::string>& headless_recycled();
bool headless_exited();
int headless_exit_code();
// Period of the platform timer with that id on the main window, 0 when none runs.
uint32_t headless_timer_period(int id);
// Number of messages dispatched so far, per message value.
long headless_dispatched(uint32_t message);
