// Tile tree: its depth, and a layer drawn through it (with an image added and removed) compared
// with the plain layer, which holds the drawing order and the background item.
#include "display_fixture.h"

#include "geo/tile_tree.h"

namespace {

// The depth of every leaf of the tree.
void collect(const TileNode* node, int depth, std::vector<int>* leaves) {
    if (!node->children[0]) leaves->push_back(depth);
    for (const TileNode* child : node->children)
        if (child) collect(child, depth + 1, leaves);
}

std::vector<int> leaves_of(int tree_id) {
    std::vector<int> leaves;
    collect(obj_find_as<TileTree>(CLS_TILE_TREE, tree_id)->root, 0, &leaves);
    return leaves;
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
    set_extent(d, extent.x0, extent.y0, extent.x1, extent.y1);
    layer_attach_tile_tree(d.layer_id);
    EXPECT_NE(d.layer()->tile_tree_id, 0);
    return d;
}

} // namespace

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
    std::vector<int> depths = leaves_of(d.layer()->tile_tree_id);
    EXPECT_LE(*std::max_element(depths.begin(), depths.end()), k_tile_tree_max_depth);
}

TEST(TileTree, DrawingThroughTheTreeMatchesThePlainLayer) {
    // Pieces start at different window columns, so the running sample positions reach a
    // column by different sums; a view with no pixel edge on an exact source boundary keeps
    // that rounding from mattering.
    std::vector<uint32_t> expected, expected_without_b;
    {
        DocumentWindow plain = make_document(160, 120);
        show_image(plain, grey_image(640, 480, 1));
        set_view(plain, 0.29, 30.37, 20.41);
        expected_without_b = redraw_all(plain);
        layer_add_object(CLS_IMAGE, grey_image(200, 100, 5)->id, plain.layer_id);
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
    // Removing an image takes it out of every leaf it was in.
    layer_remove_object(b->id, d.layer_id);
    ASSERT_EQ(g_status, 0);
    EXPECT_TRUE(redraw_all(d) == expected_without_b);
}
