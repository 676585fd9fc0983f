#include "display/layers.h"

#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/handlers.h"
#include "display/invalidate.h"
#include "display/records.h"
#include "display/zones.h"
#include "geo/tile_tree.h"

int g_highest_layer = 0;

int layer_create(int window_id, int number, int extent_id, int object_list_id,
                 int spatial_index_id) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    if (!window || !obj_find(CLS_TABLE, window->layer_list_id)) {
        g_status = ST_NOT_FOUND;
        return 0;
    }
    int id = 0;
    auto* layer = static_cast<Layer*>(obj_create(CLS_LAYER, &id));
    if (!layer) return 0;
    layer->number = number;
    layer->extent_id = extent_id;
    layer->object_list_id = object_list_id;
    layer->spatial_index_id = spatial_index_id;
    list_add(window->layer_list_id, CLS_LAYER, id, layer);
    int zones = zone_set_create(id);
    if (zones) list_add(window->layer_list_id, CLS_TABLE, zones, nullptr);
    if (number > g_highest_layer) g_highest_layer = number;
    return id;
}

Layer* layer_find_by_number(const WindowObject* window, int number) {
    if (!window->layer_list_id) return nullptr;
    int member = 0;
    while (void* rec = list_next_of_class(window->layer_list_id, CLS_LAYER, &member)) {
        if (!member) break;
        auto* layer = static_cast<Layer*>(rec);
        if (layer->number == number) return layer;
    }
    return nullptr;
}

int layer_zone_set(const WindowObject* window, int layer_id) {
    if (!window->layer_list_id) return 0;
    int member = 0;
    while (void* rec = list_next_of_class(window->layer_list_id, CLS_TABLE, &member)) {
        if (!member) break;
        if (static_cast<Table*>(rec)->owner == layer_id) return member;
    }
    return 0;
}

namespace {

// Every view showing the layer's extent redraws the rectangle.
void invalidate_in_views(int extent_id, const Rect& bounds) {
    int view_id = 0;
    while (auto* view = static_cast<View*>(obj_next(CLS_VIEW, &view_id))) {
        if (!view_id) break;
        if (view->extent_id != extent_id) continue;
        auto* window = obj_find_as<WindowObject>(CLS_WINDOW, view->window_id);
        if (!window) {
            g_status = ST_NOT_FOUND;
            return;
        }
        invalidate_world_rect(window, view, bounds);
    }
}

Rect bounds_in_index(const Layer* layer, int object_id) {
    Rect r{0, 0, 0, 0};
    extent_bounds(layer->spatial_index_id, object_id, &r.x0, &r.y0, &r.x1, &r.y1);
    return r;
}

Layer* find_layer(int layer_id) {
    auto* layer = obj_find_as<Layer>(CLS_LAYER, layer_id);
    if (!layer) g_status = ST_NOT_FOUND;
    return layer;
}

} // namespace

void layer_add_object(int cls, int object_id, int layer_id) {
    Layer* layer = find_layer(layer_id);
    if (!layer) return;
    if (cls < 0 || cls >= CLS_COUNT) {
        g_status = ST_VALUE;
        return;
    }
    list_add(layer->object_list_id, cls, object_id, nullptr);
    if (g_status) return;
    void* record = obj_find(cls, object_id);
    if (g_extent_handlers[cls])
        g_extent_handlers[cls](record, layer->spatial_index_id, layer->extent_id);
    if (g_status) return;
    if (layer->tile_tree_id)
        tile_tree_insert(layer->tile_tree_id, object_id, layer->object_list_id,
                         layer->spatial_index_id);
    if (g_status) return;
    invalidate_in_views(layer->extent_id, bounds_in_index(layer, object_id));
}

void layer_remove_object(int object_id, int layer_id) {
    Layer* layer = find_layer(layer_id);
    if (!layer) return;
    Rect bounds = bounds_in_index(layer, object_id);
    invalidate_in_views(layer->extent_id, bounds);
    if (layer->tile_tree_id)
        tile_tree_remove(layer->tile_tree_id, layer->spatial_index_id, object_id);
    extent_remove(layer->spatial_index_id, layer->extent_id, object_id);
    list_remove(layer->object_list_id, object_id);
}
