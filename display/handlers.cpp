#include "display/handlers.h"

#include "display/draw_image.h"
#include "display/records.h"
#include "display/tile_walk.h"
#include "geo/extent.h"
#include "geo/image_rect.h"
#include "geo/tile_tree.h"

DrawHandler g_draw_handlers[CLS_COUNT] = {};
ExtentHandler g_extent_handlers[CLS_COUNT] = {};

void display_declare_classes() {
    obj_set_class_size(CLS_WINDOW, sizeof(WindowObject));
    obj_set_class_size(CLS_VIEW, sizeof(View));
    obj_set_class_size(CLS_EXTENT, sizeof(Extent));
    obj_set_class_size(CLS_LAYER, sizeof(Layer));
    obj_set_class_size(CLS_DRAW_ORDER, sizeof(DrawOrder));
    obj_set_class_size(CLS_TILE_TREE, sizeof(TileTree));
    obj_set_delete_hook(CLS_TILE_TREE, tile_tree_release);
    for (int c = 0; c < CLS_COUNT; ++c) {
        g_draw_handlers[c] = nullptr;
        g_extent_handlers[c] = nullptr;
    }
    g_draw_handlers[CLS_IMAGE] = draw_image;
    g_extent_handlers[CLS_IMAGE] = image_extent;
    tile_walk_install();
}
