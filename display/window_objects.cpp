#include "display/window_objects.h"

#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/layers.h"
#include "display/records.h"
#include "display/zones.h"
#include "geo/tile_tree.h"

int window_object_create(PlatformWindow handle, uint8_t red, uint8_t green, uint8_t blue) {
    int id = 0;
    auto* window = static_cast<WindowObject*>(obj_create(CLS_WINDOW, &id));
    if (!window) return 0;
    window->handle = handle;
    window->background[0] = red;
    window->background[1] = green;
    window->background[2] = blue;
    window->restart = 1;
    plat_client_size(handle, &window->client_width, &window->client_height);
    int background = zone_set_create(id);
    int raster = background ? zone_set_create(id) : 0;
    int overlay = raster ? zone_set_create(id) : 0;
    window->background_zones_id = background;
    window->raster_zones_id = raster;
    window->overlay_zones_id = overlay;
    return id;
}

void window_object_update_size(int window_id) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    if (!window) {
        g_status = ST_NOT_FOUND;
        return;
    }
    plat_client_size(window->handle, &window->client_width, &window->client_height);
}

int world_extent_create(double x0, double y0, double x1, double y1) {
    int id = 0;
    auto* extent = static_cast<Extent*>(obj_create(CLS_EXTENT, &id));
    if (!extent) return 0;
    extent->x0 = x0;
    extent->y0 = y0;
    extent->x1 = x1;
    extent->y1 = y1;
    return id;
}

int view_create(int window_id, int extent_id) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    if (!window) {
        g_status = ST_NOT_FOUND;
        return 0;
    }
    int layer_list = window->layer_list_id;
    int id = 0;
    auto* view = static_cast<View*>(obj_create(CLS_VIEW, &id));
    if (!view) return 0;
    view->scale_x = view->scale_y = 1.0;
    view->spare_1 = view->spare_2 = 1.0;
    view->window_id = window_id;
    view->extent_id = extent_id;
    if (layer_list) list_add(layer_list, CLS_VIEW, id, view);
    return id;
}

void document_view_setup(int window_id, int extent_id, int object_list_id, int spatial_index_id,
                         int* view_id, int* layer_id) {
    *view_id = *layer_id = 0;
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    if (!window) {
        g_status = ST_NOT_FOUND;
        return;
    }
    int layer_list = 0;
    if (list_create(&layer_list)) return;
    window->layer_list_id = layer_list;
    *view_id = view_create(window_id, extent_id);
    if (!*view_id) {
        list_destroy(layer_list);
        window->layer_list_id = 0;
        return;
    }
    *layer_id = layer_create(window_id, 0, extent_id, object_list_id, spatial_index_id);
}

View* view_of_window(int window_id) {
    int id = 0;
    while (auto* view = static_cast<View*>(obj_next(CLS_VIEW, &id))) {
        if (!id) break;
        if (view->window_id == window_id) return view;
    }
    return nullptr;
}

void layer_attach_tile_tree(int layer_id) {
    auto* layer = obj_find_as<Layer>(CLS_LAYER, layer_id);
    if (!layer) {
        g_status = ST_NOT_FOUND;
        return;
    }
    int extent_id = layer->extent_id;
    int tree = tile_tree_create(extent_id);
    if (!tree) return;
    layer->tile_tree_id = tree;
    tile_tree_insert_all(tree, layer->object_list_id, layer->spatial_index_id);
}
