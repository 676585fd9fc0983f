// Rendering pages into a headless window, compared pixel by pixel with a nearest-neighbour
// reference computed here from the view's mapping alone.
#include "display_fixture.h"

#include "display/palette.h"
#include "display/scroll.h"
#include "display/zoom.h"

#include <climits>
#include <cmath>

namespace {

uint8_t channel(int x, int y, int plane) {
    return uint8_t((x * 7 + y * 13 + plane * 85) ^ (x >> 3) ^ (y << 2));
}
uint32_t channel_rgb(int x, int y) {
    return rgb(channel(x, y, 0), channel(x, y, 1), channel(x, y, 2));
}

void render_at(DocumentWindow& d, double scale, double origin_x, double origin_y) {
    set_view(d, scale, origin_x, origin_y);
    redraw_all(d);
}

struct ViewCase {
    const char* name;
    double scale, origin_x, origin_y;
    bool exact;
};

// Scales chosen so that fit, 1:1, magnified and reduced views all occur.
const ViewCase k_cases[] = {
    {"fit", 0.4571, 20.3, 35.1, false},
    {"one to one", 1.0, -37.0, 12.0, true},
    {"one to one, half-pixel origin", 1.0, -100.5, -3.5, true},
    {"magnified 2.83", 2.8284271247461903, -13.3, -7.7, false},
    {"magnified 4", 4.0, -50.25, -20.0, true},
    {"reduced 0.07", 0.07, 100.0, 200.0, false},
    {"reduced 0.031", 0.031, 3000.0, 1000.0, false},
};

// Renders the document at every view case and holds it to the reference for the page.
void expect_every_view_matches(DocumentWindow& d, int w, int h, const SourceColour& colour) {
    for (const ViewCase& vc : k_cases) {
        SCOPED_TRACE(vc.name);
        render_at(d, vc.scale, vc.origin_x, vc.origin_y);
        expect_matches(compare_with_reference(d, w, h, colour, rgb(10, 200, 30), vc.exact));
    }
}

} // namespace

TEST(Render, PaletteImageRendersThroughItsColourTable) {
    DocumentWindow d = make_document(300, 200);
    const int w = 640, h = 480;
    Image* image = make_image(w, h, 1, [](int x, int y, int) { return channel(x, y, 0); });
    for (int i = 0; i < 256; ++i) {
        image->palette[0][i] = uint8_t(255 - i);
        image->palette[1][i] = uint8_t(i * 7);
        image->palette[2][i] = uint8_t(i ^ 0x5a);
    }
    show_image(d, image);
    SourceColour colour = [](int x, int y) {
        int i = channel(x, y, 0);
        return rgb(255 - i, (i * 7) & 255, i ^ 0x5a);
    };
    expect_every_view_matches(d, w, h, colour);
}

// A three-plane page in a wide window, which takes several bands of the frame buffer. Every band
// continues the running positions of the one above, magnified rows that straddle a band edge
// included, and each window pixel is copied once. An interrupted drawing resumes in the band it
// stopped in. The comparisons include the margin and the background beyond it.
TEST(Render, WideWindowDrawnBandByBandMatchesReference) {
    DocumentWindow d = make_document(1280, 360);
    const int w = 1500, h = 900;
    show_image(d, make_image(w, h, 3, channel));
    expect_every_view_matches(d, w, h, channel_rgb);

    headless_reset_counters(d.handle);
    render_at(d, 2.8284271247461903, -13.3, -7.7);
    HeadlessCounters c = headless_counters(d.handle);
    EXPECT_GT(c.copies, 4);
    EXPECT_EQ(c.copy_pixels, 1280L * 360);
    std::vector<uint32_t> whole = headless_surface(d.handle);
    EXPECT_GT(redraw_interrupted(d, 100), 2);
    EXPECT_TRUE(headless_surface(d.handle) == whole);
}

TEST(Render, TwoPlaneImageDrawsNothingButTheBackground) {
    DocumentWindow d = make_document(64, 64, rgb(9, 9, 9));
    Image* image = make_image(40, 40, 2, [](int, int, int) { return uint8_t(200); });
    show_image(d, image);
    render_at(d, 1.0, 10.0, 10.0);
    for (uint32_t p : headless_surface(d.handle)) ASSERT_EQ(p, rgb(9, 9, 9));
}

// The reduced copy is built on first use and kept; changing the full rows afterwards shows
// which of the two copies a redraw reads.
TEST(Render, ReducedCopyTakesOverAtTenSourcePixelsPerWindowPixel) {
    DocumentWindow d = make_document(100, 100);
    const int w = 2000, h = 1500;
    Image* image = make_image(w, h, 1, [](int, int, int) { return uint8_t(10); });
    palette_grey(image, 8);
    show_image(d, image);
    for (int r = 0; r < h / 10; ++r) ASSERT_NE(image_row_view(image, r, true), nullptr);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = image_row_write(image, y, 0);
        for (int x = 0; x < w; ++x) row[x] = 240;
    }
    render_at(d, 0.1, 0.0, 0.0);
    EXPECT_EQ(d.pixel(50, 50), rgb(10, 10, 10)) << "scale 0.1 reads the reduced copy";
    render_at(d, 1.0 / 9.99, 0.0, 0.0);
    EXPECT_EQ(d.pixel(50, 50), rgb(240, 240, 240)) << "scale 1/9.99 reads the full rows";
}

TEST(Render, ImagesNarrowerThanTheReductionDrawFromFullRows) {
    DocumentWindow d = make_document(16, 16, rgb(0, 0, 255));
    Image* image =
        make_image(5, 400, 3, [](int, int y, int p) { return uint8_t(p == 0 ? y / 2 : 7); });
    show_image(d, image);
    render_at(d, 0.03, 0.0, 0.0); // 33 source pixels per window pixel
    // Window column 0 samples world x 0, row 1 world y 33.3.
    EXPECT_EQ(d.pixel(0, 1), rgb(16, 7, 7));
}

TEST(Render, PaletteIsRealisedBeforeEveryCopy) {
    DocumentWindow d = make_document(120, 90);
    Image* image = make_image(50, 50, 3, channel);
    show_image(d, image);
    create_palette(d.window_id);
    ASSERT_NE(d.window()->palette, nullptr);
    headless_reset_counters(d.handle);
    // Two separate zones: two copies.
    render_at(d, 1.0, 0.0, 0.0);
    invalidate_world_rect(d.window(), d.view(), Rect{0, 0, 10, 10});
    invalidate_world_rect(d.window(), d.view(), Rect{30, 30, 40, 45});
    draw_pending(d.window(), d.view());
    HeadlessCounters c = headless_counters(d.handle);
    EXPECT_GE(c.copies, 3);
    EXPECT_EQ(c.palette_realisations, c.copies);
}

TEST(Render, DegenerateViewsAndImagesNeitherCrashNorWriteOutside) {
    DocumentWindow d = make_document(80, 60);
    Image* image = make_image(30, 20, 3, channel);
    show_image(d, image);
    int empty_id = 0;
    obj_create(CLS_IMAGE, &empty_id); // never allocated: no size, no rows
    layer_add_object(CLS_IMAGE, empty_id, d.layer_id);
    ASSERT_EQ(g_status, 0);

    View* v = d.view();
    v->scale_x = v->scale_y = 0.0;
    full_redraw(d.window_id, d.view_id);
    draw_pending(d.window(), d.view());
    EXPECT_EQ(g_status, ST_VALUE);
    g_status = 0;

    const double odd[][3] = {
        {1e-300, 0, 0}, {1e12, -5, -5}, {1.0, NAN, 3}, {2.0, 1e300, -1e300}, {0.5, -INFINITY, 0}};
    for (const auto& o : odd) {
        set_view(d, o[0], o[1], o[2]);
        full_redraw(d.window_id, d.view_id);
        redraw_if_pending(d.window_id);
        g_status = 0;
    }
    set_view(d, 1.0, 0, 0);
    scroll_by(d.window_id, d.view_id, INT_MIN, INT_MAX);
    zoom_at_point(-5, 100000, INT_MIN);
    zoom_at_point(3, 3, INT_MAX);
    g_status = 0;
}
