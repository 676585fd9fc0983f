#include "display/layer_drawing.h"

#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/coords.h"
#include "display/draw_image.h"
#include "display/frame_buffer.h"
#include "display/handlers.h"
#include "display/input_check.h"
#include "display/layers.h"
#include "display/records.h"
#include "display/zones.h"
#include "geo/tile_tree.h"
#include "image/image.h"

namespace {

// The next object of the layer, after *member, that has a draw handler and whose bounds
// touch the zone; nullptr at the end.
void* next_object_in_zone(const Layer* layer, const Rect& zone, int* cls, int* member) {
    while (void* record = list_next(layer->object_list_id, cls, member)) {
        if (!*member) break;
        if (*cls == CLS_EXTENT || *member == layer->extent_id) continue;
        if (*cls < 0 || *cls >= CLS_COUNT || !g_draw_handlers[*cls]) continue;
        Rect bounds{0, 0, 0, 0};
        extent_bounds(layer->spatial_index_id, *member, &bounds.x0, &bounds.y0, &bounds.x1,
                      &bounds.y1);
        if (rect_touches(bounds, zone)) return record;
    }
    return nullptr;
}

void draw_objects(WindowObject* window, View* view, const Layer* layer, const Rect& zone,
                  bool* interrupted) {
    int cls = 0, member = 0;
    while (void* record = next_object_in_zone(layer, zone, &cls, &member)) {
        g_draw_handlers[cls](record, view, window, zone);
        if (input_pending()) {
            *interrupted = true;
            return;
        }
    }
}

// The first object drawn in the zone, when it is an opaque image: its id, and in hole the
// frame pixels it will write. 0 otherwise.
int first_opaque_cover(const WindowObject* window, const View* view, const Layer* layer,
                       const Rect& zone, Rect* hole) {
    int cls = 0, member = 0;
    void* record = next_object_in_zone(layer, zone, &cls, &member);
    if (!record || cls != CLS_IMAGE || g_draw_handlers[cls] != draw_image) return 0;
    auto* image = static_cast<const Image*>(record);
    ImageMapping m;
    if (!image_is_opaque(image) || !image_mapping(image, view, window, zone, &m)) return 0;
    *hole = Rect{double(m.dx), double(m.dy), double(m.dx + m.dw), double(m.dy + m.dh)};
    return member;
}

bool draw_layer_through_tree(WindowObject* window, View* view, const Layer* layer, int set) {
    auto* tree = obj_find_as<TileTree>(CLS_TILE_TREE, layer->tile_tree_id);
    if (!tree) {
        g_status = ST_NOT_FOUND;
        return false;
    }
    Rect zone;
    while (zone_first(set, &zone)) {
        if (tile_tree_draw(tree->root, zone, window, view, 0, 0, layer->number)) return true;
        // Whatever lies outside the tree's bounds has nothing to draw.
        zone_subtract(set, zone);
    }
    return false;
}

bool draw_layer(WindowObject* window, View* view, const Layer* layer, int set) {
    if (layer->tile_tree_id) return draw_layer_through_tree(window, view, layer, set);
    Rect zone;
    while (zone_first(set, &zone)) {
        Rect on_window = window_rect_of_world(view, window, zone);
        if (!rect_has_area(on_window)) {
            zone_subtract(set, zone);
            continue;
        }
        Rect snapped = world_rect_of_window(view, on_window);
        // The margin around the images and any uncovered part of the extent. What the first
        // image covers needs no fill: it overwrites every pixel there.
        if (layer->number == 0) {
            Rect hole{0, 0, 0, 0};
            g_frame.background = window_background(window);
            g_frame.unfilled_image_id = first_opaque_cover(window, view, layer, snapped, &hole);
            frame_fill_around(on_window, hole, g_frame.background);
        }
        bool interrupted = false;
        draw_objects(window, view, layer, snapped, &interrupted);
        g_frame.unfilled_image_id = 0;
        if (interrupted) return true;
        zone_subtract(set, snapped);
        if (input_pending()) return true;
    }
    return false;
}

} // namespace

bool draw_layers(WindowObject* window, View* view, int first, int last) {
    for (int number = first; number <= last; ++number) {
        Layer* layer = layer_find_by_number(window, number);
        if (!layer) continue;
        if (layer->extent_id != view->extent_id) return false;
        int set = layer_zone_set(window, layer->id);
        if (!set) {
            g_status = ST_NOT_FOUND;
            return false;
        }
        if (draw_layer(window, view, layer, set)) return true;
    }
    return false;
}
