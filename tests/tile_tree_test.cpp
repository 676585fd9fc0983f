// Tile tree: shape after insertions and removal, and a layer drawn through it compared with the
// plain layer (which holds the drawing order and the background item).
#include "display_fixture.h"

#include "geo/tile_tree.h"

namespace {

struct Leaf {
    Rect bounds;
    std::vector<TileItem> items;
    int depth;
};

void collect(const TileNode* node, int depth, std::vector<Leaf>* leaves) {
    if (!node->children[0]) {
        leaves->push_back(Leaf{Rect{node->x0, node->y0, node->x1, node->y1},
                               std::vector<TileItem>(node->items, node->items + node->count),
                               depth});
        return;
    }
    for (const TileNode* child : node->children) collect(child, depth + 1, leaves);
}

std::vector<Leaf> leaves_of(int tree_id) {
    std::vector<Leaf> leaves;
    collect(obj_find_as<TileTree>(CLS_TILE_TREE, tree_id)->root, 0, &leaves);
    return leaves;
}

std::string items_text(const std::vector<TileItem>& items) {
    std::string s;
    for (const TileItem& it : items)
        s += std::to_string(it.object_id) + ":" + std::to_string(it.order) + " ";
    return s;
}

void give_order(DocumentWindow& d, int object_id, int order) {
    int id = 0;
    auto* rec = static_cast<DrawOrder*>(obj_create(CLS_DRAW_ORDER, &id));
    rec->object_id = object_id;
    rec->order = order;
    list_add(d.object_list_id, CLS_DRAW_ORDER, id, rec);
}

Image* grey_image(int w, int h, int seed) {
    Image* img =
        make_image(w, h, 1, [seed](int x, int y, int) { return uint8_t(x * 3 + y * seed); });
    palette_grey(img, 8);
    return img;
}

// A document whose extent is set before the tree is made, with the tree on the raster layer.
DocumentWindow document_with_tree(int width, int height, const Rect& extent) {
    DocumentWindow d = make_document(width, height);
    Extent* e = d.extent();
    e->x0 = extent.x0;
    e->y0 = extent.y0;
    e->x1 = extent.x1;
    e->y1 = extent.y1;
    layer_attach_tile_tree(d.layer_id);
    EXPECT_NE(d.layer()->tile_tree_id, 0);
    return d;
}

} // namespace

// Removing the image leaves the shape and only the background in every leaf.
TEST(TileTree, ImageCoveringTheTreeSplitsUntilLeavesCoverHalfOfIt) {
    DocumentWindow d = document_with_tree(64, 48, Rect{0, 0, 640, 480});
    Image* img = grey_image(640, 480, 1);
    give_order(d, img->id, 1);
    layer_add_object(CLS_IMAGE, img->id, d.layer_id);
    ASSERT_EQ(g_status, 0);
    std::vector<Leaf> leaves = leaves_of(d.layer()->tile_tree_id);
    ASSERT_EQ(leaves.size(), 4u);
    for (const Leaf& leaf : leaves) {
        EXPECT_EQ(leaf.depth, 1);
        EXPECT_EQ(items_text(leaf.items), "0:0 " + std::to_string(img->id) + ":1 ");
    }
    EXPECT_EQ(leaves[0].bounds.x0, 320); // child 0: the quarter of larger x and y
    EXPECT_EQ(leaves[0].bounds.y0, 240);
    EXPECT_EQ(leaves[2].bounds.x1, 320); // child 2: the quarter at the origin
    EXPECT_EQ(leaves[2].bounds.y1, 240);
    layer_remove_object(img->id, d.layer_id);
    ASSERT_EQ(g_status, 0);
    leaves = leaves_of(d.layer()->tile_tree_id);
    ASSERT_EQ(leaves.size(), 4u);
    for (const Leaf& leaf : leaves) EXPECT_EQ(items_text(leaf.items), "0:0 ");
}

TEST(TileTree, ObjectWithoutDrawOrderIsNotFound) {
    DocumentWindow d = document_with_tree(64, 48, Rect{0, 0, 100, 100});
    Image* img = grey_image(10, 10, 1);
    layer_add_object(CLS_IMAGE, img->id, d.layer_id);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NOT_FOUND);
}

TEST(TileTree, DegenerateImagesEndTheSplitting) {
    {
        DocumentWindow d = document_with_tree(64, 48, Rect{0, 0, 1, 1});
        Image* dot = grey_image(1, 1, 1);
        give_order(d, dot->id, 1);
        layer_add_object(CLS_IMAGE, dot->id, d.layer_id);
        EXPECT_EQ(leaves_of(d.layer()->tile_tree_id).size(), 1u) << "a pixel cannot be split";
    }
    DocumentWindow d = document_with_tree(64, 48, Rect{0, 0, 4096, 4096});
    Image* line = grey_image(4096, 2, 1);
    give_order(d, line->id, 1);
    layer_add_object(CLS_IMAGE, line->id, d.layer_id);
    int deepest = 0;
    for (const Leaf& leaf : leaves_of(d.layer()->tile_tree_id))
        deepest = std::max(deepest, leaf.depth);
    EXPECT_LE(deepest, k_tile_tree_max_depth);
}

TEST(TileTree, DrawingThroughTheTreeMatchesThePlainLayer) {
    // Pieces start at different window columns, so the running sample positions reach a
    // column by different sums; a view with no pixel edge on an exact source boundary keeps
    // that rounding from mattering.
    std::vector<uint32_t> expected;
    {
        DocumentWindow plain = make_document(160, 120);
        show_image(plain, grey_image(640, 480, 1));
        layer_add_object(CLS_IMAGE, grey_image(200, 100, 5)->id, plain.layer_id);
        set_view(plain, 0.29, 30.37, 20.41);
        expected = redraw_all(plain);
    }
    DocumentWindow d = document_with_tree(160, 120, Rect{-20, -20, 659, 499});
    Image* a = grey_image(640, 480, 1);
    Image* b = grey_image(200, 100, 5);
    give_order(d, a->id, 1);
    give_order(d, b->id, 2);
    layer_add_object(CLS_IMAGE, a->id, d.layer_id);
    layer_add_object(CLS_IMAGE, b->id, d.layer_id);
    ASSERT_EQ(g_status, 0);
    ASSERT_GT(leaves_of(d.layer()->tile_tree_id).size(), 1u);
    set_view(d, 0.29, 30.37, 20.41);
    std::vector<uint32_t> through_tree = redraw_all(d);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(through_tree[i], expected[i]) << "pixel " << i % 160 << ", " << i / 160;

    // The tree's pieces are drawn over several interrupted passes.
    int layer_zones = 0;
    int passes = redraw_interrupted(d, 50, [&] {
        layer_zones = layer_zone_set(d.window(), d.layer_id);
        EXPECT_GT(zone_count(layer_zones), 0);
    });
    EXPECT_GT(passes, 3);
    EXPECT_EQ(zone_count(layer_zones), 0);
    EXPECT_TRUE(headless_surface(d.handle) == expected);
}
