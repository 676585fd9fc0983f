// Tile tree (class 36): a quadtree over a layer's extent whose leaves list, in drawing order,
// the objects that overlap them, so that drawing a zone visits only the leaves it touches.
#pragma once
#include "geo/rect.h"
#include <cstdint>

struct TileItem {
    int32_t object_id; // 0: the background item
    int32_t order;
};

// Plain memory owned by its parent or by the tree; all four children or none.
struct TileNode {
    TileNode* children[4];
    int32_t count;
    double x0, y0, x1, y1;
    TileItem* items;
};

struct TileTree {
    int32_t id;
    int32_t bounds_index_id; // spatial index of the last insertion, used when splitting
    TileNode* root;
    int32_t max_depth;
    double x0, y0, x1, y1;
};

// Class 37: an object's drawing order within its layer.
struct DrawOrder {
    int32_t id;
    int32_t object_id;
    int32_t order;
};

// Nodes are never split deeper than this, whatever the images.
constexpr int k_tile_tree_max_depth = 16;

// What the walk needs from the display, filled in by the display's set-up. The window
// object and the view are passed through untouched.
struct TileDrawOps {
    // True when the zone covers no whole window pixel.
    bool (*zone_is_empty)(void* window, void* view, const Rect& zone);
    // Removes the zone from the zone set of the window's layer with that number.
    void (*zone_done)(void* window, int layer_number, const Rect& zone);
    void (*fill_background)(void* window, void* view, int layer_number, const Rect& zone);
    // Draws one object of the layer through its class's draw handler.
    void (*draw_object)(void* window, void* view, int layer_number, int object_id, const Rect& zone,
                        int arg1, int arg2);
    bool (*input_pending)();
};
extern TileDrawOps g_tile_draw_ops;

// Status 10 for a missing extent, 1 when memory runs out. Returns the tree id (0 on failure).
int tile_tree_create(int extent_id);
void tile_tree_delete(int tree_id);
// Deletion hook of class 36: frees the nodes, children before parents.
void tile_tree_release(int tree_id, void* record);
void tile_tree_insert(int tree_id, int object_id, int object_list_id, int bounds_index_id);
void tile_tree_insert_all(int tree_id, int object_list_id, int bounds_index_id);
void tile_tree_remove(int tree_id, int bounds_index_id, int object_id);
// Answers whether drawing was interrupted; the undrawn part stays in the layer's zone set.
bool tile_tree_draw(TileNode* node, const Rect& zone, void* window, void* view, int arg1, int arg2,
                    int layer_number);
// The order recorded for an object by a class-37 record in the list; status 10 when none.
int draw_order_of(int object_list_id, int object_id);
