#include "display/invalidate.h"

#include "core/lists.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/coords.h"
#include "display/records.h"
#include "display/shell_hooks.h"
#include "display/zones.h"

namespace {

// Rectangles of the last region read; grows by twice the shortfall, never shrinks.
PixelRect* s_region_rects = nullptr;
int s_region_capacity = 0;

// A zone being drawn again must be prepared afresh, not resumed.
void restart_if_hit(WindowObject* window, int set, const Rect& world) {
    Rect first;
    if (window->restart == 0 && zone_first(set, &first) && rect_touches(first, world))
        window->restart = 1;
}

} // namespace

void invalidate_world_rect(WindowObject* window, View* view, const Rect& world) {
    restart_if_hit(window, window->overlay_zones_id, world);
    restart_if_hit(window, window->raster_zones_id, world);
    auto* extent = obj_find_as<Extent>(CLS_EXTENT, view->extent_id);
    if (!extent) {
        g_status = ST_NOT_FOUND;
        return;
    }
    Rect bounds{extent->x0, extent->y0, extent->x1, extent->y1};
    // Only the part outside the extent is filled with the background colour directly.
    zone_add(window->background_zones_id, world);
    zone_subtract(window->background_zones_id, bounds);
    if (!rect_touches(world, bounds)) return;
    Rect inside = rect_intersection(world, bounds);
    zone_add(window->overlay_zones_id, inside);
    zone_add(window->raster_zones_id, inside);
}

void reset_pending(WindowObject* window) {
    zone_clear(window->background_zones_id);
    zone_clear(window->raster_zones_id);
    zone_clear(window->overlay_zones_id);
    window->restart = 1;
    if (!window->layer_list_id) return;
    int member = 0;
    while (list_next_of_class(window->layer_list_id, CLS_TABLE, &member) && member)
        zone_clear(member);
}

void add_region(WindowObject* window, View* view, PlatformRegion region) {
    if (!window->overlay_zones_id) return;
    int count = plat_region_rects(region, s_region_rects, s_region_capacity);
    if (count > s_region_capacity) {
        int capacity = s_region_capacity + 2 * count;
        if (!mem_realloc(s_region_rects, sizeof(PixelRect) * size_t(capacity))) {
            s_region_capacity = 0;
            return;
        }
        s_region_capacity = capacity;
        count = plat_region_rects(region, s_region_rects, s_region_capacity);
        if (count > s_region_capacity) count = s_region_capacity;
    }
    for (int i = 0; i < count; ++i) {
        const PixelRect& r = s_region_rects[i];
        if (r.left < 1 && r.top < 1 && r.right >= window->client_width - 1 &&
            r.bottom >= window->client_height - 1)
            reset_pending(window);
        Rect world = world_rect_of_window(
            view, Rect{double(r.left), double(r.top), double(r.right) + 1, double(r.bottom) + 1});
        invalidate_world_rect(window, view, world);
    }
}

void full_redraw(int window_id, int view_id) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    auto* view = obj_find_as<View>(CLS_VIEW, view_id);
    if (!window || !view) {
        g_status = ST_NOT_FOUND;
        return;
    }
    if (!window->overlay_zones_id) return;
    reset_pending(window);
    Rect client{0.0, 0.0, double(window->client_width), double(window->client_height)};
    invalidate_world_rect(window, view, world_rect_of_window(view, client));
    display_schedule_timer(k_redraw_timer, 0);
}
