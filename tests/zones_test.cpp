// The pending-zone bookkeeping of a window: scrolling, objects coming and going.
// Merging, clipping, subtraction and painted regions are what every redraw in the render,
// tile-tree and shell tests goes through, each window pixel compared with a reference.
#include "display_fixture.h"

#include "display/scroll.h"

namespace {

// The zones of a set as "x0,y0,x1,y1" words, in set order.
std::string zone_text(int set) {
    std::ostringstream s;
    Rect r;
    for (int i = 0; zone_at(set, i, &r); ++i)
        s << r.x0 << "," << r.y0 << "," << r.x1 << "," << r.y1 << " ";
    return s.str();
}

} // namespace

TEST(PendingZones, ScrollingRedrawsOnlyTheUncoveredStripAndMatchesAFullRedraw) {
    DocumentWindow d = make_document(160, 120);
    Image* image = make_image(400, 300, 3,
                              [](int x, int y, int p) { return uint8_t(x * 3 + y * 5 + p * 70); });
    show_image(d, image);
    set_view(d, 1.0, -50, -40);
    redraw_all(d);

    struct Move {
        int dx, dy;
    };
    for (Move m : {Move{7, 0}, Move{0, -9}, Move{-13, 11}, Move{500, 0}}) {
        SCOPED_TRACE(testing::Message() << "scroll by " << m.dx << ", " << m.dy);
        headless_reset_counters(d.handle);
        scroll_by(d.window_id, d.view_id, m.dx, m.dy);
        ASSERT_EQ(g_status, 0);
        HeadlessCounters c = headless_counters(d.handle);
        long strip = long(std::abs(m.dx)) * 120 + long(std::abs(m.dy)) * 160;
        // The strip, plus the one extra pixel row or column a painted region is taken with.
        if (std::abs(m.dx) < 160) {
            EXPECT_LE(c.copy_pixels, strip + 2 * (120 + 160) + 4);
        }
        std::vector<uint32_t> scrolled = headless_surface(d.handle);
        for (uint32_t p : scrolled) ASSERT_NE(p, k_headless_unpainted);
        EXPECT_TRUE(scrolled == redraw_all(d));
    }
}

TEST(PendingZones, AddingAndRemovingObjectsInvalidateTheirBoundsInEveryView) {
    DocumentWindow d = make_document(200, 150);
    set_extent(d, -20, -20, 500, 500);
    // A second window showing the same extent.
    PlatformWindow other_handle = headless_window_create(50, 50);
    int other = window_object_create(other_handle, 0, 0, 0);
    int other_view = view_create(other, d.extent_id);
    ASSERT_NE(other_view, 0);
    auto* other_window = obj_find_as<WindowObject>(CLS_WINDOW, other);

    Image* image = make_image(40, 30, 1, [](int, int, int) { return uint8_t(1); });
    layer_add_object(CLS_IMAGE, image->id, d.layer_id);
    ASSERT_EQ(g_status, 0);
    for (int set : {d.window()->raster_zones_id, other_window->raster_zones_id})
        EXPECT_EQ(zone_text(set), "0,0,40,30 ");
    reset_pending(d.window());
    layer_remove_object(image->id, d.layer_id);
    EXPECT_EQ(zone_text(d.window()->raster_zones_id), "0,0,40,30 ");
    EXPECT_EQ(list_count(d.object_list_id, CLS_IMAGE), 0);
    layer_remove_object(image->id, 424242);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NOT_FOUND);
    headless_window_destroy(other_handle);
}
