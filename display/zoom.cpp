#include "display/zoom.h"

#include "core/registry.h"
#include "core/status.h"
#include "display/records.h"
#include "display/scroll.h"
#include "display/view_state.h"
#include "image/image.h"

#include <cmath>

namespace {

constexpr double k_sqrt2 = 1.4142135623730951;
// f(64) is 2^32: far past any scale a window can show, and it bounds every level search
// even for a zero or non-finite fit.
constexpr int k_level_search_limit = 64;

int min_int(int a, int b) {
    return a < b ? a : b;
}

} // namespace

double level_factor(int n) {
    double f = std::ldexp(1.0, n / 2);
    return n % 2 ? f * k_sqrt2 : f;
}

double round_half_towards_zero(double v) {
    double whole = std::trunc(v);
    double fraction = v - whole;
    if (fraction > 0.5) return whole + 1.0;
    if (fraction < -0.5) return whole - 1.0;
    return whole;
}

void fit_to_window(int width, int height) {
    auto* page = obj_find_as<Image>(CLS_IMAGE, g_display.shown_page_id);
    if (!page || page->width < 1 || page->height < 1) return;
    double fit = std::fmin(double(width) / page->width, double(height) / page->height);
    if (fit > 1.0) fit = 1.0;
    g_zoom.fit_scale = fit;
    int limit = 0;
    while (limit < k_level_search_limit && 1.0 / level_factor(limit) > fit) ++limit;
    g_zoom.reduction_limit = limit;
}

bool level_step(int steps, double* new_scale) {
    if (steps == 0) return false;
    // More steps than there are levels change nothing more, and negating stays defined.
    if (steps > k_level_search_limit) steps = k_level_search_limit;
    if (steps < -k_level_search_limit) steps = -k_level_search_limit;
    ZoomState& z = g_zoom;
    if (steps > 0) {
        if (z.magnification >= k_max_magnification) return false;
        int lower = min_int(steps, z.reduction);
        z.reduction -= lower;
        z.magnification = min_int(k_max_magnification, z.magnification + (steps - lower));
    } else {
        if (z.reduction_limit != 0 && z.reduction >= z.reduction_limit) return false;
        int left = -steps;
        int lower = min_int(left, z.magnification);
        z.magnification -= lower;
        left -= lower;
        if (left > 0 && z.reduction < z.reduction_limit)
            z.reduction = min_int(z.reduction_limit, z.reduction + left);
    }
    *new_scale = level_factor(z.magnification) / level_factor(z.reduction);
    return true;
}

void set_view_centre(double world_x, double world_y, double scale) {
    WindowObject* window;
    View* view;
    Extent* extent;
    if (!document_view_parts(&window, &view, &extent)) return;
    view->scale_x = view->scale_y = scale;
    view->origin_x = window->client_width / (2 * scale) - world_x;
    view->origin_y = window->client_height / (2 * scale) - world_y;
}

void set_view_origin(double origin_x, double origin_y, double scale) {
    WindowObject* window;
    View* view;
    Extent* extent;
    if (!document_view_parts(&window, &view, &extent)) return;
    view->origin_x = origin_x;
    view->origin_y = origin_y;
    view->scale_x = view->scale_y = scale;
    g_zoom.fitted = false;
}

void zoom_step(int steps) {
    WindowObject* window;
    View* view;
    Extent* extent;
    if (!document_view_parts(&window, &view, &extent)) return;
    double scale = 0.0;
    if (!level_step(steps, &scale)) return;
    double cx = (window->client_width / 2.0) / view->scale_x - view->origin_x;
    double cy = (window->client_height / 2.0) / view->scale_y - view->origin_y;
    set_view_centre(cx, cy, scale);
    g_zoom.fitted = false;
    refresh_view();
}

void zoom_at_point(int x, int y, int steps) {
    WindowObject* window;
    View* view;
    Extent* extent;
    if (!document_view_parts(&window, &view, &extent)) return;
    double scale = 0.0;
    if (!level_step(steps, &scale)) return;
    double wx = x / view->scale_x - view->origin_x;
    double wy = y / view->scale_y - view->origin_y;
    view->scale_x = view->scale_y = scale;
    view->origin_x = x / scale - wx;
    view->origin_y = y / scale - wy;
    g_zoom.fitted = false;
    refresh_view();
}

void set_zoom(bool use_fit, double scale) {
    WindowObject* window;
    View* view;
    Extent* extent;
    if (!document_view_parts(&window, &view, &extent)) return;
    double s = use_fit ? g_zoom.fit_scale : scale;
    if (!(s > 0.0) || !std::isfinite(s)) {
        g_status = ST_VALUE;
        return;
    }
    if (s < 1.0) {
        int n = 1;
        while (n < k_level_search_limit && 1.0 / level_factor(n) > s) ++n;
        bool previous_nearer =
            std::fabs(s - 1.0 / level_factor(n)) > std::fabs(s - 1.0 / level_factor(n - 1));
        g_zoom.magnification = 0;
        g_zoom.reduction = previous_nearer ? n - 1 : n;
    } else {
        int n = 0;
        if (s > 1.0) {
            n = 1;
            while (n < k_level_search_limit && level_factor(n) < s) ++n;
        }
        bool previous_nearer =
            n > 0 && std::fabs(s - level_factor(n)) > std::fabs(s - level_factor(n - 1));
        g_zoom.reduction = 0;
        g_zoom.magnification = min_int(k_max_magnification, previous_nearer ? n - 1 : n);
    }
    set_view_centre((extent->x0 + extent->x1) / 2, (extent->y0 + extent->y1) / 2, s);
    g_zoom.fitted = use_fit;
}

void refit_after_resize() {
    if (!g_zoom.fitted || !g_display.shown_page_id || !(g_zoom.fit_scale > 0.0)) return;
    set_zoom(true, 0.0);
}
