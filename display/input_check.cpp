#include "display/input_check.h"

#include "display/shell_hooks.h"
#include "platform/window.h"

bool g_uninterruptible = false;

namespace {
double s_last_look = 0.0;
constexpr double k_look_interval = 0.15;
} // namespace

bool input_pending() {
    if (g_uninterruptible) return false;
    double now = plat_clock_ms() * 0.001;
    if (now - s_last_look < k_look_interval) return false;
    s_last_look = now;
    display_busy_cursor(1);
    return plat_input_pending();
}

void input_check_reset() {
    s_last_look = 0.0;
}
