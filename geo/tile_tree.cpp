#include "geo/tile_tree.h"

#include "core/lists.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "geo/extent.h"
#include "geo/image_rect.h"
#include "image/image.h"

#include <cstring>

TileDrawOps g_tile_draw_ops = {};

namespace {

Rect bounds_of(const TileNode* node) {
    return Rect{node->x0, node->y0, node->x1, node->y1};
}

TileNode* node_create(const Rect& r) {
    TileNode* node = nullptr;
    if (!mem_alloc(node, sizeof(TileNode))) return nullptr;
    std::memset(node, 0, sizeof(TileNode));
    node->x0 = r.x0;
    node->y0 = r.y0;
    node->x1 = r.x1;
    node->y1 = r.y1;
    return node;
}

void node_free(TileNode*& node) {
    if (!node) return;
    for (TileNode*& child : node->children) node_free(child);
    mem_free(node->items);
    mem_free(node);
}

Rect object_bounds(int bounds_index, int object_id) {
    Rect r{0, 0, 0, 0};
    extent_bounds(bounds_index, object_id, &r.x0, &r.y0, &r.x1, &r.y1);
    return r;
}

// Inserts after the items of equal order; false when the array cannot grow.
bool node_add_item(TileNode* node, TileItem item) {
    int n = node->count;
    if (!mem_realloc(node->items, sizeof(TileItem) * size_t(n + 1))) {
        node->count = 0;
        return false;
    }
    int at = n;
    while (at > 0 && node->items[at - 1].order > item.order) --at;
    std::memmove(node->items + at + 1, node->items + at, sizeof(TileItem) * size_t(n - at));
    node->items[at] = item;
    node->count = n + 1;
    return true;
}

// Child 0 is the upper-right quarter (larger x and y), then counter-clockwise.
Rect child_bounds(const TileNode* node, int child) {
    double mx = (node->x0 + node->x1) / 2, my = (node->y0 + node->y1) / 2;
    switch (child) {
    case 0:
        return Rect{mx, my, node->x1, node->y1};
    case 1:
        return Rect{node->x0, my, mx, node->y1};
    case 2:
        return Rect{node->x0, node->y0, mx, my};
    default:
        return Rect{mx, node->y0, node->x1, my};
    }
}

// A node covers too much of an image when its pixel rectangle is wider than half the image
// and taller than half of it. A node already smaller than one image pixel is left whole:
// splitting it further cannot make the pieces smaller on the image.
bool covers_too_much(const TileNode* node, int object_id) {
    auto* image = obj_find_as<Image>(CLS_IMAGE, object_id);
    if (!image || image->width < 1 || image->height < 1) return false;
    Rect pixels = world_to_image_rect(image, bounds_of(node));
    double w = pixels.x1 - pixels.x0, h = pixels.y1 - pixels.y0;
    if (w < 1.0 || h < 1.0) return false;
    return w > image->width / 2 && h > image->height / 2;
}

void split_check(TileNode* node, int bounds_index, int depth);

void node_insert(TileNode* node, TileItem item, const Rect& bounds, int bounds_index, int depth) {
    if (item.order != 0 && !rect_touches(bounds, bounds_of(node))) return;
    if (node->children[0]) {
        for (int c = 3; c >= 0 && !g_status; --c)
            node_insert(node->children[c], item, bounds, bounds_index, depth + 1);
        return;
    }
    if (!node_add_item(node, item)) return;
    split_check(node, bounds_index, depth);
}

void split_check(TileNode* node, int bounds_index, int depth) {
    if (depth >= k_tile_tree_max_depth) return;
    bool split = false;
    for (int i = 0; i < node->count && !split; ++i)
        if (node->items[i].object_id != 0) split = covers_too_much(node, node->items[i].object_id);
    if (!split) return;
    for (int c = 0; c < 4; ++c) {
        node->children[c] = node_create(child_bounds(node, c));
        if (!node->children[c]) {
            for (TileNode*& child : node->children) node_free(child);
            return;
        }
    }
    for (int c = 3; c >= 0; --c) {
        TileNode* child = node->children[c];
        for (int i = 0; i < node->count; ++i) {
            const TileItem& item = node->items[i];
            if (item.order != 0 &&
                !rect_touches(object_bounds(bounds_index, item.object_id), bounds_of(child)))
                continue;
            if (!node_add_item(child, item)) return;
        }
        split_check(child, bounds_index, depth + 1);
        if (g_status) return;
    }
    mem_free(node->items);
    node->count = 0;
}

bool node_remove(TileNode* node, int object_id, const Rect& bounds) {
    for (int i = 0; i < node->count; ++i) {
        if (node->items[i].object_id != object_id) continue;
        std::memmove(node->items + i, node->items + i + 1,
                     sizeof(TileItem) * size_t(node->count - i - 1));
        --node->count;
        if (node->count == 0) mem_free(node->items);
        return true;
    }
    if (!node->children[0]) return false;
    for (TileNode* child : node->children)
        if (rect_touches(bounds, bounds_of(child))) node_remove(child, object_id, bounds);
    return false;
}

TileTree* find_tree(int tree_id) {
    auto* tree = obj_find_as<TileTree>(CLS_TILE_TREE, tree_id);
    if (!tree) g_status = ST_NOT_FOUND;
    return tree;
}

} // namespace

int tile_tree_create(int extent_id) {
    auto* extent = obj_find_as<Extent>(CLS_EXTENT, extent_id);
    if (!extent) {
        g_status = ST_NOT_FOUND;
        return 0;
    }
    Rect r{extent->x0, extent->y0, extent->x1, extent->y1};
    int id = 0;
    auto* tree = static_cast<TileTree*>(obj_create(CLS_TILE_TREE, &id));
    if (!tree) return 0;
    tree->x0 = r.x0;
    tree->y0 = r.y0;
    tree->x1 = r.x1;
    tree->y1 = r.y1;
    tree->max_depth = k_tile_tree_max_depth;
    tree->root = node_create(r);
    if (!tree->root || !node_add_item(tree->root, TileItem{0, 0})) {
        tile_tree_delete(id);
        return 0;
    }
    return id;
}

void tile_tree_release(int, void* record) {
    node_free(static_cast<TileTree*>(record)->root);
}

void tile_tree_delete(int tree_id) {
    if (!find_tree(tree_id)) return;
    obj_delete(CLS_TILE_TREE, tree_id);
}

int draw_order_of(int object_list_id, int object_id) {
    int member = 0;
    while (void* rec = list_next_of_class(object_list_id, CLS_DRAW_ORDER, &member)) {
        if (!member) break;
        auto* order = static_cast<DrawOrder*>(rec);
        if (order->object_id == object_id) return order->order;
    }
    g_status = ST_NOT_FOUND;
    return 0;
}

void tile_tree_insert(int tree_id, int object_id, int object_list_id, int bounds_index_id) {
    TileTree* tree = find_tree(tree_id);
    if (!tree) return;
    int order = draw_order_of(object_list_id, object_id);
    if (g_status) return;
    tree->bounds_index_id = bounds_index_id;
    Rect bounds = object_bounds(bounds_index_id, object_id);
    node_insert(tree->root, TileItem{object_id, order}, bounds, bounds_index_id, 0);
}

void tile_tree_insert_all(int tree_id, int object_list_id, int bounds_index_id) {
    int member = 0;
    while (list_next_of_class(object_list_id, CLS_IMAGE, &member) && member && !g_status)
        tile_tree_insert(tree_id, member, object_list_id, bounds_index_id);
}

void tile_tree_remove(int tree_id, int bounds_index_id, int object_id) {
    TileTree* tree = find_tree(tree_id);
    if (!tree) return;
    node_remove(tree->root, object_id, object_bounds(bounds_index_id, object_id));
}

bool tile_tree_draw(TileNode* node, const Rect& zone, void* window, void* view, int arg1, int arg2,
                    int layer_number) {
    const TileDrawOps& ops = g_tile_draw_ops;
    if (!node || !ops.zone_is_empty) return false;
    Rect clipped = rect_intersection(zone, bounds_of(node));
    if (clipped.x0 > clipped.x1 || clipped.y0 > clipped.y1) return false;
    if (ops.zone_is_empty(window, view, clipped)) {
        ops.zone_done(window, layer_number, clipped);
        return false;
    }
    for (int i = 0; i < node->count; ++i) {
        const TileItem item = node->items[i];
        if (item.object_id == 0) {
            // Overlay layers draw onto the window itself: no background under them.
            if (layer_number != 0) continue;
            ops.fill_background(window, view, layer_number, clipped);
        } else {
            ops.draw_object(window, view, layer_number, item.object_id, clipped, arg1, arg2);
        }
        if (ops.input_pending()) return true;
    }
    if (!node->children[0]) {
        ops.zone_done(window, layer_number, clipped);
        return ops.input_pending();
    }
    for (int c = 3; c >= 0; --c)
        if (tile_tree_draw(node->children[c], zone, window, view, arg1, arg2, layer_number))
            return true;
    return false;
}
