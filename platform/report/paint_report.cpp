#include "platform/report/paint_report.h"
#include "core/registry.h"
#include "display/records.h"
#include "display/zones.h"
#include "shell/app_state.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

const auto s_process_start = std::chrono::steady_clock::now();
int s_enabled = -1; // unknown until first asked
bool s_drawn = false;
int s_view_width = -1, s_view_height = -1; // window object's size at the last line

bool zones_empty(int set) {
    return set == 0 || zone_count(set) == 0;
}

} // namespace

bool paint_report_enabled() {
    if (s_enabled < 0) s_enabled = std::getenv("DORVANE_REPORT_PAINT") ? 1 : 0;
    return s_enabled == 1;
}

void paint_report_drawn() {
    s_drawn = true;
}

void paint_report_if_settled(int screen_x, int screen_y) {
    if (!paint_report_enabled()) return;
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, g_app.document_window_id);
    if (!window) return;
    bool resized = window->client_width != s_view_width || window->client_height != s_view_height;
    bool settled = s_drawn && zones_empty(window->background_zones_id) &&
                   zones_empty(window->raster_zones_id) && zones_empty(window->overlay_zones_id);
    if (!settled && !resized) return;
    if (settled) s_drawn = false;
    s_view_width = window->client_width;
    s_view_height = window->client_height;
    int width = 0, height = 0;
    plat_client_size(window->handle, &width, &height);
    long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - s_process_start)
                                    .count());
    std::fprintf(stderr, "dorvane: %s %ld ms at %d,%d size %dx%d view %dx%d\n",
                 settled ? "painted" : "resized", ms, screen_x, screen_y, width, height,
                 s_view_width, s_view_height);
    std::fflush(stderr);
}
