// Storage of the active platform table and of the shell's hooks.
#include "display/shell_hooks.h"
#include "platform/window.h"

const PlatformWindowOps* g_platform = nullptr;
void (*g_schedule_timer_hook)(int, int) = nullptr;
void (*g_busy_cursor_hook)(int) = nullptr;
