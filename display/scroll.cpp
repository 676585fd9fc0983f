#include "display/scroll.h"

#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/coords.h"
#include "display/draw_pending.h"
#include "display/invalidate.h"
#include "display/records.h"
#include "display/view_state.h"
#include "display/window_objects.h"
#include "display/zones.h"
#include "display/zoom.h"

#include <cmath>
#include <cstdlib>

namespace {

// Scroll values are whole scaled-world units; this keeps absurd scales from overflowing.
int64_t to_units(double v) {
    constexpr double k_limit = 9.0e15;
    double r = round_half_towards_zero(v);
    if (!(r > -k_limit)) return -int64_t(k_limit);
    if (r > k_limit) return int64_t(k_limit);
    return int64_t(r);
}

void update_axis(ScrollAxis* axis, double low_edge, double high_edge, double origin, double scale,
                 int client) {
    double low = low_edge * scale;
    double high = (high_edge + std::fmax(0.0, origin)) * scale;
    if (low > high) std::swap(low, high);
    axis->position = to_units(-origin * scale);
    int64_t low_units = to_units(low);
    axis->minimum = low_units < axis->position ? low_units : axis->position;
    axis->maximum = to_units(high);
    int64_t span = std::llabs(axis->maximum - axis->minimum);
    int64_t shortfall = axis->minimum - axis->position;
    int64_t page = span + (shortfall < 0 ? shortfall : 0);
    axis->page = page < client ? page : client;
}

int64_t pan_target(const ScrollAxis& axis, int64_t delta) {
    int64_t position = axis.position + delta;
    if (position < axis.minimum) position = axis.minimum;
    // The upper bound is applied last and wins over the lower one.
    int64_t last = axis.maximum - axis.page + 1;
    if (position >= last) position = last;
    return position;
}

int clamp_to_int(int64_t v) {
    if (v > 0x3fffffff) return 0x3fffffff;
    if (v < -0x3fffffff) return -0x3fffffff;
    return int(v);
}

} // namespace

void update_scroll_ranges() {
    WindowObject* window;
    View* view;
    Extent* extent;
    if (!document_view_parts(&window, &view, &extent)) return;
    update_axis(&g_scroll.horizontal, extent->x0, extent->x1, view->origin_x, view->scale_x,
                window->client_width);
    update_axis(&g_scroll.vertical, extent->y0, extent->y1, view->origin_y, view->scale_y,
                window->client_height);
}

void pan(int code) {
    if (code < 0 || code >= PAN_CODE_COUNT) {
        g_status = ST_VALUE;
        return;
    }
    WindowObject* window;
    View* view;
    Extent* extent;
    if (!document_view_parts(&window, &view, &extent)) return;
    const ScrollAxis& h = g_scroll.horizontal;
    const ScrollAxis& v = g_scroll.vertical;
    int64_t dx = 0, dy = 0;
    switch (code) {
    case PAN_UP:
        dy = -5;
        break;
    case PAN_DOWN:
        dy = 5;
        break;
    case PAN_PAGE_UP:
        dy = -v.page;
        break;
    case PAN_PAGE_DOWN:
        dy = v.page;
        break;
    case PAN_TOP:
        dy = -v.position;
        break;
    case PAN_BOTTOM:
        dy = v.maximum - v.position - v.page + 1;
        break;
    case PAN_LEFT:
        dx = -5;
        break;
    case PAN_RIGHT:
        dx = 5;
        break;
    case PAN_PAGE_LEFT:
        dx = -h.page;
        break;
    case PAN_PAGE_RIGHT:
        dx = h.page;
        break;
    case PAN_LEFT_END:
        dx = -h.position;
        break;
    case PAN_RIGHT_END:
        dx = h.maximum - h.position - h.page + 1;
        break;
    default:
        break;
    }
    int64_t new_y = pan_target(v, dy);
    int64_t new_x = pan_target(h, dx);
    int64_t old_x = h.position, old_y = v.position;
    g_scroll.horizontal.position = new_x;
    g_scroll.vertical.position = new_y;
    if (new_x == old_x && new_y == old_y) return;
    scroll_by(g_display.document_window_id, g_display.view_id, clamp_to_int(new_x - old_x),
              clamp_to_int(new_y - old_y));
}

void scroll_by(int window_id, int view_id, int dx, int dy) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    auto* view = obj_find_as<View>(CLS_VIEW, view_id);
    if (!window || !view) {
        g_status = ST_NOT_FOUND;
        return;
    }
    // No window is this large; the bound keeps the negated moves defined.
    constexpr int k_max_move = 1 << 30;
    dx = dx < -k_max_move ? -k_max_move : (dx > k_max_move ? k_max_move : dx);
    dy = dy < -k_max_move ? -k_max_move : (dy > k_max_move ? k_max_move : dy);
    view->origin_x -= dx / view->scale_x;
    view->origin_y -= dy / view->scale_y;
    if (dx || dy) g_zoom.fitted = false;

    if (zone_count(window->raster_zones_id) > 0) window->restart = 1;
    Rect visible = world_rect_of_window(
        view, Rect{0.0, 0.0, double(window->client_width), double(window->client_height)});
    int member = 0;
    while (window->layer_list_id && list_next_of_class(window->layer_list_id, CLS_TABLE, &member) &&
           member)
        zone_clip(member, visible);

    PlatformRegion uncovered = plat_scroll(window->handle, -dx, -dy);
    if (!uncovered) {
        g_status = ST_SYSTEM;
    } else {
        add_region(window, view, uncovered);
        plat_region_delete(uncovered);
    }
    draw_pending(window, view);
}

void drag(int x, int y, bool moving) {
    if (moving)
        scroll_by(g_display.document_window_id, g_display.view_id, g_drag_anchor.x - x,
                  g_drag_anchor.y - y);
    g_drag_anchor = DragAnchor{x, y};
}

void window_resized() {
    auto* main_window = obj_find_as<WindowObject>(CLS_WINDOW, g_display.main_window_id);
    auto* document = obj_find_as<WindowObject>(CLS_WINDOW, g_display.document_window_id);
    if (!main_window || !document) {
        g_status = ST_NOT_FOUND;
        return;
    }
    int width = 0, height = 0;
    plat_client_size(main_window->handle, &width, &height);
    main_window->client_width = document->client_width = width;
    main_window->client_height = document->client_height = height;
    fit_to_window(width, height);
    refit_after_resize();
    update_scroll_ranges();
}

void refresh_view() {
    update_scroll_ranges();
    full_redraw(g_display.document_window_id, g_display.view_id);
}
