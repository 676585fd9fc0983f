// View geometry: fitting, the nearest zoom level, scroll ranges and dragging past the margin.
// The zoom steps, zooming about the pointer, panning keys and resizing are driven through the
// real key and mouse handling in shell_keys_test.
#include "display_fixture.h"

#include "display/scroll.h"
#include "display/zoom.h"

namespace {

int s_redraw_posts = 0;
void count_posts(int timer, int period) {
    if (timer == k_redraw_timer && period == 0) ++s_redraw_posts;
}

// A document window showing a black page of the given size.
DocumentWindow blank_page(int window_w, int window_h, int page_w, int page_h) {
    DocumentWindow d = make_document(window_w, window_h);
    show_image(d, make_image(page_w, page_h, 1, [](int, int, int) { return uint8_t(0); }));
    return d;
}

// A document window showing a page of the given size, fitted as a page step does.
DocumentWindow fitted_page(int window_w, int window_h, int page_w, int page_h) {
    DocumentWindow d = blank_page(window_w, window_h, page_w, page_h);
    fit_to_window(window_w, window_h);
    set_zoom(true, 0);
    refresh_view();
    s_redraw_posts = 0;
    g_schedule_timer_hook = count_posts;
    return d;
}

// "position, minimum, maximum, page" of a scroll axis.
std::string axis(const ScrollAxis& a) {
    return std::to_string(a.position) + ", " + std::to_string(a.minimum) + ", " +
           std::to_string(a.maximum) + ", " + std::to_string(a.page);
}

} // namespace

TEST(ZoomLevels, SmallPageZoomsOutToTheSameScaleAndStillRedraws) {
    DocumentWindow d = fitted_page(800, 600, 300, 200);
    EXPECT_EQ(g_zoom.fit_scale, 1.0);
    EXPECT_EQ(g_zoom.reduction_limit, 0);
    zoom_step(-1);
    EXPECT_EQ(d.view()->scale_x, 1.0);
    EXPECT_EQ(s_redraw_posts, 1);
}

TEST(ZoomLevels, FitOfPointThreeSevenKeepsTheExactScaleAndTheNearestLevel) {
    DocumentWindow d = fitted_page(370, 400, 1000, 1000);
    EXPECT_EQ(d.view()->scale_x, 0.37);
    EXPECT_EQ(g_zoom.reduction, 3) << "0.3535 is nearer than 0.5";
    EXPECT_EQ(g_zoom.reduction_limit, 3);
    // Centred on the extent.
    double centre_x = (-20 + 1019) / 2.0;
    EXPECT_DOUBLE_EQ((centre_x + d.view()->origin_x) * 0.37, 185.0);
    zoom_step(+1);
    EXPECT_EQ(d.view()->scale_x, 0.5);
}

TEST(Scrolling, RangesFollowTheExtentAndTheOrigin) {
    DocumentWindow d = blank_page(500, 400, 1000, 2000);
    set_view_origin(-100, -300, 1.0);
    update_scroll_ranges();
    EXPECT_EQ(axis(g_scroll.vertical), "300, -20, 2019, 400");
    EXPECT_EQ(axis(g_scroll.horizontal), "100, -20, 1019, 500");
    // A positive origin (the page pushed right) widens the range.
    set_view_origin(30.4, 0, 1.0);
    update_scroll_ranges();
    EXPECT_EQ(axis(g_scroll.horizontal), "-30, -30, 1049, 500");
}

TEST(Scrolling, DraggingMayPassTheMarginUntilTheNextKey) {
    DocumentWindow d = blank_page(300, 200, 600, 500);
    set_view_origin(0, 0, 1.0);
    update_scroll_ranges();
    drag(100, 100, false);
    drag(100, 900, true); // pulls the page 800 pixels down: far past the margin
    EXPECT_EQ(d.view()->origin_y, 800.0);
    EXPECT_EQ(g_scroll.vertical.position, 0) << "dragging does not update the ranges";
    update_scroll_ranges(); // button released
    EXPECT_EQ(g_scroll.vertical.position, -800);
    EXPECT_EQ(g_scroll.vertical.minimum, -800);
    pan(PAN_PAGE_DOWN);
    EXPECT_LE(g_scroll.vertical.position, g_scroll.vertical.maximum - g_scroll.vertical.page + 1);
    EXPECT_GT(g_scroll.vertical.position, -800);
    EXPECT_EQ(d.view()->origin_y, -double(g_scroll.vertical.position));
}
