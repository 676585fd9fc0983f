// Zone sets and the pending-zone bookkeeping of a window: clipping, scrolling, objects coming
// and going. Merging, subtraction, the split at the extent and painted regions are what every
// redraw in the render, scroll, tile-tree and shell tests goes through, each window pixel
// compared with a reference and none left unpainted; interrupted drawing is checked by
// redraw_interrupted.
#include "display_fixture.h"

#include "display/scroll.h"

namespace {

std::vector<Rect> zones_of(int set) {
    std::vector<Rect> out;
    Rect r;
    for (int i = 0; zone_at(set, i, &r); ++i) out.push_back(r);
    return out;
}

// The zones of a set as "x0,y0,x1,y1" words, in set order.
std::string zone_text(int set) {
    std::ostringstream s;
    for (const Rect& r : zones_of(set))
        s << r.x0 << "," << r.y0 << "," << r.x1 << "," << r.y1 << " ";
    return s.str();
}

class ZoneSet : public ::testing::Test {
  protected:
    void SetUp() override {
        test_reset_core();
        display_declare_classes();
        set = zone_set_create(99);
        ASSERT_NE(set, 0);
    }
    int set = 0;
};

} // namespace

TEST_F(ZoneSet, ClippingCutsZonesAndDropsThoseLeftWithoutArea) {
    zone_add(set, Rect{0, 0, 10, 10});
    zone_add(set, Rect{20, 20, 30, 30});
    zone_add(set, Rect{5, 40, 8, 60});
    zone_clip(set, Rect{5, 5, 25, 40});
    EXPECT_EQ(zone_text(set), "5,5,10,10 20,20,25,30 ");
    zone_clear(set);
    EXPECT_EQ(zone_count(set), 0);
    Rect r;
    EXPECT_FALSE(zone_first(set, &r));
    zone_add(12345, Rect{0, 0, 1, 1});
    EXPECT_EQ(g_status, ST_NOT_FOUND) << "unknown set";
}

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

TEST(PendingZones, InputIsLookedAtOnlyEveryHundredFiftyMilliseconds) {
    DocumentWindow d = make_document(10, 10);
    g_uninterruptible = false;
    headless_set_input_pending(true);
    headless_set_clock(1000);
    EXPECT_TRUE(input_pending());
    headless_advance_clock(149);
    EXPECT_FALSE(input_pending());
    headless_advance_clock(1);
    EXPECT_TRUE(input_pending());
    g_uninterruptible = true;
    headless_advance_clock(1000);
    EXPECT_FALSE(input_pending());
}

TEST(PendingZones, AddingAndRemovingObjectsInvalidateTheirBoundsInEveryView) {
    DocumentWindow d = make_document(200, 150);
    Extent* e = d.extent();
    e->x0 = -20;
    e->y0 = -20;
    e->x1 = 500;
    e->y1 = 500;
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
