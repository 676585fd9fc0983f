// The headless platform layer: what fills, copies and scrolls leave on the surface.
#include "platform/headless/headless_window.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The rectangles of a region as "left,top,right,bottom" words; the region is deleted.
std::string rects_of(PlatformRegion region) {
    std::vector<PixelRect> rects(8);
    int n = g_platform->region_rects(region, rects.data(), int(rects.size()));
    std::string out;
    for (int i = 0; i < n; ++i) {
        const PixelRect& r = rects[size_t(i)];
        out += std::to_string(r.left) + "," + std::to_string(r.top) + "," +
               std::to_string(r.right) + "," + std::to_string(r.bottom) + " ";
    }
    plat_region_delete(region);
    return out;
}

// Each pixel holds its own position, so moves can be read back.
void number_pixels(PlatformWindow w, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t v = uint32_t(y * 1000 + x);
            plat_copy_pixels(w, x, y, 1, 1, &v, 1);
        }
}

} // namespace

TEST(HeadlessWindow, FillsAndCopiesStayInsideClipAndClientArea) {
    headless_install();
    PlatformWindow w = headless_window_create(10, 8);
    int width = 0, height = 0;
    plat_client_size(w, &width, &height);
    EXPECT_EQ(width, 10);
    EXPECT_EQ(height, 8);
    EXPECT_EQ(headless_pixel(w, 0, 0), k_headless_unpainted);

    plat_begin_drawing(w);
    plat_set_clip(w, PixelRect{2, 2, 5, 5});
    plat_fill_rect(w, PixelRect{-100, -100, 100, 100}, 0x123456);
    plat_end_drawing(w);
    EXPECT_EQ(headless_pixel(w, 2, 2), 0x123456u);
    EXPECT_EQ(headless_pixel(w, 4, 4), 0x123456u);
    EXPECT_EQ(headless_pixel(w, 5, 4), k_headless_unpainted);
    EXPECT_EQ(headless_pixel(w, 1, 2), k_headless_unpainted);

    // A copy hanging over every edge lands only on the client area, source rows kept apart.
    std::vector<uint32_t> source(size_t(16) * 12);
    for (int i = 0; i < 16 * 12; ++i) source[size_t(i)] = uint32_t(i);
    plat_copy_pixels(w, -3, -2, 14, 12, source.data(), 16);
    EXPECT_EQ(headless_pixel(w, 0, 0), uint32_t(2 * 16 + 3));
    EXPECT_EQ(headless_pixel(w, 9, 7), uint32_t(9 * 16 + 12));
    headless_window_destroy(w);
}

TEST(HeadlessWindow, ScrollMovesPixelsAndReportsTheUncoveredStrips) {
    headless_install();
    PlatformWindow w = headless_window_create(20, 10);
    number_pixels(w, 20, 10);
    PlatformRegion region = plat_scroll(w, -4, 3); // contents left by 4, down by 3
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(headless_pixel(w, 0, 3), uint32_t(0 * 1000 + 4));
    EXPECT_EQ(headless_pixel(w, 15, 9), uint32_t(6 * 1000 + 19));
    EXPECT_EQ(headless_pixel(w, 16, 5), k_headless_unpainted);
    EXPECT_EQ(headless_pixel(w, 3, 2), k_headless_unpainted);
    EXPECT_EQ(rects_of(region), "16,0,20,10 0,0,16,3 ");
    // Farther than the window: everything is uncovered.
    EXPECT_EQ(rects_of(plat_scroll(w, 0, -10)), "0,0,20,10 ");
    headless_window_destroy(w);
}

TEST(HeadlessWindow, ClockAndInputAreTheTestsToSet) {
    headless_install();
    headless_set_clock(100);
    headless_set_clock_step(0);
    EXPECT_EQ(plat_clock_ms(), 100u);
    headless_set_clock_step(7);
    EXPECT_EQ(plat_clock_ms(), 100u);
    EXPECT_EQ(plat_clock_ms(), 107u);
    headless_set_clock_step(0);
    headless_set_input_pending(true);
    EXPECT_TRUE(plat_input_pending());
    headless_set_input_pending(false);
    EXPECT_FALSE(plat_input_pending());
}
