// Georeference transforms and the rectangle conversions between image, world and window.
#include "display_fixture.h"

#include "display/coords.h"
#include "geo/georef_objects.h"
#include "geo/image_rect.h"
#include "geo/transform.h"

namespace {

class Georef : public ::testing::Test {
  protected:
    void SetUp() override {
        test_reset_core();
        display_declare_classes();
        geo_declare_classes();
    }
    Image* image(int w, int h) {
        int id = 0;
        auto* img = static_cast<Image*>(obj_create(CLS_IMAGE, &id));
        img->width = w;
        img->height = h;
        return img;
    }
    // x' = (x - sx) * kx + tx and likewise for y.
    int scale(double kx, double ky, double sx = 0, double sy = 0, double tx = 0, double ty = 0) {
        return scale_transform_create(kx, ky, 1, reference_points_create(sx, sy, 0, tx, ty, 0));
    }
};

// The point through the transform, forward or back, as "x y z" (exact values).
std::string moved(int id, int type, bool forward, double x, double y, double z = 7) {
    (forward ? transform_forward : transform_inverse)(id, type, &x, &y, &z);
    std::ostringstream s;
    s.precision(17);
    s << x << " " << y << " " << z;
    return s.str();
}

void expect_rect(const Rect& r, double x0, double y0, double x1, double y1) {
    EXPECT_NEAR(r.x0, x0, 1e-9);
    EXPECT_NEAR(r.y0, y0, 1e-9);
    EXPECT_NEAR(r.x1, x1, 1e-9);
    EXPECT_NEAR(r.y1, y1, 1e-9);
}

// The extent an index made for the image alone gives it.
void expect_extent(Image* img, double x0, double y0, double x1, double y1) {
    int index = 0;
    extent_create(0, &index);
    image_extent(img, index, 0);
    Rect r{};
    extent_bounds(index, img->id, &r.x0, &r.y0, &r.x1, &r.y1);
    expect_rect(r, x0, y0, x1, y1);
    extent_destroy(index);
}

} // namespace

TEST_F(Georef, ImageWithoutLinkHasItsPixelExtent) {
    Image* img = image(640, 480);
    expect_extent(img, 0, 0, 640, 480);
    expect_rect(world_to_image_rect(img, Rect{-5, -5, 1000, 1000}), 0, 0, 640 - 1e-8, 480 - 1e-8);
    expect_rect(image_to_world_rect(img, Rect{1, 2, 3, 4}), 1, 2, 3, 4);
}

TEST_F(Georef, WindowRectanglesGoThroughTheView) {
    DocumentWindow d = make_document(300, 300);
    Image* img = image(640, 480);
    View* v = d.view();
    v->scale_x = v->scale_y = 2.0;
    expect_rect(window_to_image_rect(v, d.window(), img, Rect{0, 0, 100, 100}), 0, 0, 50, 50);
    // Window rectangles round up with a tolerance and stay in the client area.
    expect_rect(image_to_window_rect(v, d.window(), img, Rect{0.2, 10.0000000001, 20.3, 400}), 1,
                20, 41, 300);
    v->origin_x = -0.1;
    expect_rect(window_rect_of_world(v, d.window(), Rect{0.1, 0, 0.6, 1}), 0, 0, 1, 2);
}

TEST_F(Georef, ScaleTransformsAndChainsRunForwardAndBack) {
    int a = scale(2, 3, 1, 1, 10, 20);
    int b = scale(-1, 0.5, 0, 0, 100, 0);
    EXPECT_EQ(moved(a, TRANSFORM_SCALE, true, 4, 5), "16 32 7");
    EXPECT_EQ(moved(a, TRANSFORM_SCALE, false, 16, 32), "4 5 7");
    int32_t types[2] = {TRANSFORM_SCALE, TRANSFORM_SCALE};
    int32_t ids[2] = {a, b};
    int chain = transform_chain_create(2, types, ids);
    EXPECT_EQ(moved(chain, TRANSFORM_CHAIN, true, 4, 5), "84 16 7") << "a first, then b";
    EXPECT_EQ(moved(chain, TRANSFORM_CHAIN, false, 84, 16), "4 5 7");
    EXPECT_EQ(g_status, 0);
}

TEST_F(Georef, MatrixTransformsApplyTheirFirstThreeRows) {
    // A quarter turn about the origin plus a shift, and its inverse.
    const double forward[16] = {0, -1, 0, 5, 1, 0, 0, 7, 0, 0, 1, 0, 0, 0, 0, 1};
    const double inverse[16] = {0, 1, 0, -7, -1, 0, 0, 5, 0, 0, 1, 0, 0, 0, 0, 1};
    int m = matrix_transform_create(forward, inverse);
    EXPECT_EQ(moved(m, TRANSFORM_MATRIX, true, 2, 3, 0), "2 9 0");
    EXPECT_EQ(moved(m, TRANSFORM_MATRIX, false, 2, 9, 0), "2 3 0");
}

TEST_F(Georef, FailuresLeaveThePointUnchanged) {
    double x = 1, y = 2, z = 3;
    transform_forward(5, 7, &x, &y, &z);
    EXPECT_EQ(std::exchange(g_status, 0), ST_VALUE);
    transform_forward(4242, TRANSFORM_SCALE, &x, &y, &z);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NOT_FOUND);
    int dangling = scale_transform_create(2, 2, 1, 4343); // no reference points
    transform_inverse(dangling, TRANSFORM_SCALE, &x, &y, &z);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NOT_FOUND);
    transform_forward(0, 99, &x, &y, &z); // id 0: nothing at all
    EXPECT_EQ(g_status, 0);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(z, 3);

    // A chain naming itself ends instead of recursing forever.
    int32_t types[1] = {TRANSFORM_CHAIN};
    int32_t ids[1] = {0};
    int chain = transform_chain_create(1, types, ids);
    obj_find_as<TransformChain>(CLS_TRANSFORM_CHAIN, chain)->ids[0] = chain;
    transform_forward(chain, TRANSFORM_CHAIN, &x, &y, &z);
    EXPECT_EQ(g_status, ST_VALUE);
    EXPECT_EQ(x, 1);
    g_status = 0;
}

TEST_F(Georef, FlippedAxisStillGivesOrderedRectangles) {
    Image* img = image(100, 50);
    georef_attach(img, TRANSFORM_SCALE, scale(-1, 1, 0, 0, 500, 0)); // world x = 500 - x
    expect_extent(img, 400, 0, 500, 50);
    expect_rect(world_to_image_rect(img, Rect{410, 10, 420, 20}), 80, 10, 90, 20);
    expect_rect(image_to_world_rect(img, Rect{80, 10, 90, 20}), 410, 10, 420, 20);
}

TEST_F(Georef, LinkedImageIsDrawnWhereItsTransformPutsIt) {
    DocumentWindow d = make_document(64, 48, rgb(0, 0, 0));
    geo_declare_classes();
    Image* img = make_image(16, 12, 1, [](int x, int y, int) { return uint8_t(16 * y + x); });
    palette_grey(img, 8);
    // Every image pixel covers 2 x 2 world units, the image's corner at world (8, 4).
    georef_attach(img, TRANSFORM_SCALE, scale(2, 2, 0, 0, 8, 4));
    Extent* e = d.extent();
    e->x0 = 0;
    e->y0 = 0;
    e->x1 = 64;
    e->y1 = 48;
    layer_add_object(CLS_IMAGE, img->id, d.layer_id);
    redraw_all(d);
    for (int j = 0; j < 48; ++j)
        for (int i = 0; i < 64; ++i) {
            int sx = (i - 8) / 2, sy = (j - 4) / 2;
            bool inside = i >= 8 && j >= 4 && sx < 16 && sy < 12;
            uint32_t want = inside ? rgb(16 * sy + sx, 16 * sy + sx, 16 * sy + sx) : 0;
            ASSERT_EQ(d.pixel(i, j), want) << i << ", " << j;
        }
}
