#include "display/draw_pending.h"

#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/coords.h"
#include "display/frame_buffer.h"
#include "display/layer_drawing.h"
#include "display/layers.h"
#include "display/records.h"
#include "display/shell_hooks.h"
#include "display/window_objects.h"
#include "display/zones.h"

#include <cmath>

namespace {

constexpr int k_interrupted_retry_ms = 10;
constexpr int k_idle_check_ms = 2000;

PixelRect pixels_of(const Rect& r) {
    return PixelRect{int32_t(r.x0), int32_t(r.y0), int32_t(r.x1), int32_t(r.y1)};
}

void set_clip(WindowObject* window, const Rect& r) {
    window->clip_x0 = r.x0;
    window->clip_y0 = r.y0;
    window->clip_x1 = r.x1;
    window->clip_y1 = r.y1;
    plat_set_clip(window->handle, pixels_of(r));
}

void begin(WindowObject* window) {
    plat_begin_drawing(window->handle);
    window->drawing = 1;
}

void end(WindowObject* window) {
    plat_end_drawing(window->handle);
    window->drawing = 0;
}

void copy_band(WindowObject* window) {
    if (g_frame.width < 1 || g_frame.band_rows < 1) return;
    set_clip(window,
             Rect{double(g_frame.x), double(g_frame.band_y), double(g_frame.x + g_frame.width),
                  double(g_frame.band_y + g_frame.band_rows)});
    if (window->palette) plat_realise_palette(window->handle, window->palette);
    plat_copy_pixels(window->handle, g_frame.x, g_frame.band_y, g_frame.width, g_frame.band_rows,
                     g_frame.pixels, g_frame.stride);
}

} // namespace

void draw_pending(WindowObject* window, View* view) {
    // Every conversion divides by the scales; a view without a usable scale shows nothing.
    if (!(view->scale_x > 0.0) || !(view->scale_y > 0.0) || !std::isfinite(view->scale_x) ||
        !std::isfinite(view->scale_y)) {
        g_status = ST_VALUE;
        return;
    }
    begin(window);
    uint32_t background = window_background(window);
    Rect zone;
    while (zone_first(window->background_zones_id, &zone)) {
        Rect on_window = window_rect_of_world(view, window, zone);
        set_clip(window, on_window);
        if (!plat_fill_rect(window->handle, pixels_of(on_window), background)) g_status = ST_SYSTEM;
        zone_subtract(window->background_zones_id, zone);
    }

    auto* extent = obj_find_as<Extent>(CLS_EXTENT, view->extent_id);
    if (!extent) {
        g_status = ST_NOT_FOUND;
        end(window);
        return;
    }
    if (extent->x0 >= extent->x1 || extent->y0 >= extent->y1) {
        zone_clear(window->raster_zones_id);
        zone_clear(window->overlay_zones_id);
        end(window);
        return;
    }

    while (zone_first(window->raster_zones_id, &zone)) {
        Layer* raster = layer_find_by_number(window, 0);
        int set = raster ? layer_zone_set(window, raster->id) : 0;
        if (window->restart) {
            if (!set) {
                g_status = ST_NOT_FOUND;
                end(window);
                return;
            }
            zone_add(set, zone);
            frame_prepare(window_rect_of_world(view, window, zone));
        }
        // Band after band; an interrupted drawing resumes in the band it stopped in.
        for (;;) {
            if (draw_layers(window, view, 0, 0)) {
                window->restart = 0;
                display_schedule_timer(k_redraw_timer, k_interrupted_retry_ms);
                end(window);
                return;
            }
            copy_band(window);
            if (!frame_next_band()) break;
            if (set) zone_add(set, zone);
        }
        zone_subtract(window->raster_zones_id, zone);
        window->restart = 1;
    }

    while (zone_first(window->overlay_zones_id, &zone)) {
        if (window->restart && window->layer_list_id) {
            int cls = 0, member = 0;
            while (void* rec = list_next(window->layer_list_id, &cls, &member)) {
                if (!member) break;
                if (cls != CLS_LAYER || static_cast<Layer*>(rec)->number == 0) continue;
                int set = layer_zone_set(window, member);
                if (set) zone_add(set, zone);
            }
        }
        set_clip(window, window_rect_of_world(view, window, zone));
        if (draw_layers(window, view, 1, g_highest_layer)) {
            window->restart = 0;
            display_schedule_timer(k_redraw_timer, k_interrupted_retry_ms);
            end(window);
            return;
        }
        zone_subtract(window->overlay_zones_id, zone);
        window->restart = 1;
    }

    display_schedule_timer(k_redraw_timer, k_idle_check_ms);
    end(window);
}

bool redraw_if_pending(int window_id) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    if (!window) {
        g_status = ST_NOT_FOUND;
        return false;
    }
    if (zone_count(window->overlay_zones_id) == 0 && zone_count(window->background_zones_id) == 0)
        return false;
    View* view = view_of_window(window_id);
    if (!view) {
        g_status = ST_NOT_FOUND;
        return false;
    }
    draw_pending(window, view);
    return true;
}
