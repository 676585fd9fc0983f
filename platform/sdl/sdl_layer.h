// The SDL2 layer: the program's two windows on one SDL window (the main window is the frame,
// the document window fills its client area), a message queue that orders posted messages,
// input, paint and timers as the Win32 queue does, and the two platform tables over it.
#pragma once
#include "platform/app.h"
#include "platform/window.h"

#include <SDL.h>
#include <cstdint>

enum SdlRole { ROLE_MAIN = 1, ROLE_DOCUMENT = 2 };

struct SdlWindowRecord {
    int role;
};

extern SDL_Window* g_sdl_window;
extern SdlWindowRecord g_sdl_main;
extern SdlWindowRecord g_sdl_document;

inline PlatformWindow sdl_main_handle() {
    return &g_sdl_main;
}
inline PlatformWindow sdl_document_handle() {
    return &g_sdl_document;
}

// Queue (sdl_queue.cpp).
void sdl_post(PlatformWindow window, uint32_t message, uintptr_t wparam, uintptr_t lparam);
void sdl_post_input(PlatformWindow window, uint32_t message, uintptr_t wparam, uintptr_t lparam,
                    int modifiers);
// The whole document client area waits for a paint message.
void sdl_invalidate_document();
// Moves every waiting SDL event into the queues.
void sdl_pump();
// Runs the message loop; returns only if the queue can no longer be read.
int sdl_run_loop();
void sdl_set_timer(PlatformWindow window, int id, uint32_t period_ms);
void sdl_kill_timer(PlatformWindow window, int id);
void sdl_discard_timer_messages();
void sdl_discard_key_messages();
bool sdl_mouse_move_queued(PlatformWindow window);
bool sdl_input_pending();
// Shift and Ctrl as they were when the message being handled was queued.
int sdl_current_modifiers();
void sdl_dispatch_now(PlatformWindow window, uint32_t message);

// Modifier bits carried with queued input.
enum SdlModifier { SDL_MOD_SHIFT = 1, SDL_MOD_CTRL = 2 };

// Event translation (sdl_events.cpp).
void sdl_translate(const SDL_Event& event);
// The window that receives key presses.
PlatformWindow sdl_focus();
void sdl_set_focus_window(PlatformWindow window);

// Dropped names (sdl_drops.cpp).
PlatformDrop sdl_drop_begin();
void sdl_drop_add(PlatformDrop drop, const char* name);
int sdl_drop_count(PlatformDrop drop);
int sdl_drop_name(PlatformDrop drop, int index, char* out, int size);
void sdl_drop_finish(PlatformDrop drop);

// Keys (sdl_keys.cpp): the virtual key code of an SDL key, 0 for keys the program ignores.
int sdl_virtual_key(SDL_Keycode key);

// Window surface (sdl_surface.cpp).
const PlatformWindowOps* sdl_window_ops();
// Shows the kept surface again (the window was uncovered).
void sdl_present_all();

// Desktop trash (sdl_trash.cpp): false when the file could not be moved.
bool sdl_move_to_trash(const char* path);

// Application table (sdl_app_ops.cpp).
const PlatformAppOps* sdl_app_ops();
