// The logic of the two window procedures. A platform layer turns its events into these
// messages (Win32 values, shell/messages.h) and calls in; what the shell does not handle goes
// back to the layer's default processing.
#pragma once
#include "platform/window.h"
#include <cstdint>

// Main window: size, close and destroy, focus, keys and timers. Returns false for a message it
// does not handle (the layer's default procedure takes it). After a handled message a pending
// status is shown and cleared.
bool main_window_proc(uint32_t message, uintptr_t wparam, uintptr_t lparam);
// Document window: focus hand-over, mouse, dropped files. The layer has already forwarded the
// message to the host control; paint goes to document_paint instead.
void document_window_proc(uint32_t message, uintptr_t wparam, uintptr_t lparam);
// Paint with the window's update region (in window pixels): recorded as zones and drawn.
void document_paint(PlatformRegion update_region);
// The key table: one press of the virtual key.
void key_command(int virtual_key);
// Forgets the input state kept between messages (start-up).
void window_procs_reset();
