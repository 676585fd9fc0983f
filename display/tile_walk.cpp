#include "display/tile_walk.h"

#include "core/lists.h"
#include "display/coords.h"
#include "display/frame_buffer.h"
#include "display/handlers.h"
#include "display/input_check.h"
#include "display/layers.h"
#include "display/records.h"
#include "display/zones.h"
#include "geo/tile_tree.h"

namespace {

bool zone_is_empty(void* window, void* view, const Rect& zone) {
    Rect r =
        window_rect_of_world(static_cast<View*>(view), static_cast<WindowObject*>(window), zone);
    return !rect_has_area(r);
}

void zone_done(void* window_record, int layer_number, const Rect& zone) {
    auto* window = static_cast<WindowObject*>(window_record);
    Layer* layer = layer_find_by_number(window, layer_number);
    if (!layer) return;
    int set = layer_zone_set(window, layer->id);
    if (set) zone_subtract(set, zone);
}

void fill_background(void* window_record, void* view, int layer_number, const Rect& zone) {
    auto* window = static_cast<WindowObject*>(window_record);
    if (layer_number != 0) return;
    frame_fill(window_rect_of_world(static_cast<View*>(view), window, zone),
               window_background(window));
}

void draw_object(void* window_record, void* view, int layer_number, int object_id, const Rect& zone,
                 int, int) {
    auto* window = static_cast<WindowObject*>(window_record);
    Layer* layer = layer_find_by_number(window, layer_number);
    if (!layer) return;
    int cls = 0;
    void* record = list_find(layer->object_list_id, object_id, &cls);
    if (!record || cls < 0 || cls >= CLS_COUNT || !g_draw_handlers[cls]) return;
    g_draw_handlers[cls](record, static_cast<View*>(view), window, zone);
}

} // namespace

void tile_walk_install() {
    g_tile_draw_ops =
        TileDrawOps{zone_is_empty, zone_done, fill_background, draw_object, input_pending};
}
