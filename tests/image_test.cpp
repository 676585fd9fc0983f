// Image buffer: rotation under a small budget and sizes past the limits. The row layout, the
// reduced copies, clones and compositing are held to reference pixels through the decoders
// (GIF pages are clones composited over each other) and the render tests.
#include "core/store.h"
#include "support/support.h"

namespace {

class ImageBuffer : public ::testing::Test {
  protected:
    void SetUp() override {
        test_reset_core();
        store_set_budget(1LL << 40);
    }
    Image* make(int w, int h, int planes) {
        int id = 0;
        Image* image = static_cast<Image*>(obj_create(CLS_IMAGE, &id));
        image_alloc(image, w, h, planes, STORE_PLAIN);
        return image;
    }
};

// Pixel value pattern: distinct per (x, y, plane).
uint8_t value(int x, int y, int p) {
    return static_cast<uint8_t>(x * 3 + y * 17 + p * 101);
}

// A picture turned both ways under a small budget: rows are made band by band from source
// rows that come back from swap files, each pixel where the turn puts it (counter-clockwise,
// the new top-left pixel is the source's top-right one; clockwise, its bottom-left one).
TEST_F(ImageBuffer, RotationOfAPictureLargerThanTheBudget) {
    Image* src = make(3000, 1000, 3);
    store_set_budget(1 << 20);
    for (int y = 0; y < 1000; y++)
        for (int p = 0; p < 3; p++) {
            uint8_t* row = image_row_write(src, y, p);
            for (int x = 0; x < 3000; x++) row[x] = value(x, y, p);
        }
    for (int direction : {1, 0}) {
        int id = 0;
        image_rotate(src->id, direction, &id);
        ASSERT_EQ(g_status, 0);
        Image* turned = obj_find_as<Image>(CLS_IMAGE, id);
        ASSERT_EQ(turned->width, 1000);
        ASSERT_EQ(turned->height, 3000);
        int wrong = 0;
        for (int y = 0; y < turned->height; y += 7)
            for (int p = 0; p < 3; p++) {
                const uint8_t* row = image_row_read(turned, y, p);
                ASSERT_NE(row, nullptr);
                for (int x = 0; x < turned->width; x++)
                    wrong +=
                        row[x] != (direction == 1 ? value(2999 - y, x, p) : value(y, 999 - x, p));
            }
        EXPECT_EQ(wrong, 0) << "direction " << direction;
        obj_delete(CLS_IMAGE, id);
    }
}

// Strides are worked out in 64 bits: widths near 2^31 are refused as out of memory, never
// wrapped round into a small or negative stride; a row past the height is refused too.
TEST_F(ImageBuffer, SizesPastTheLimitsAreRefused) {
    image_row_write(make(5, 2, 3), 2, 0);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NO_MEMORY);
    const struct {
        int width, planes;
    } cases[] = {{0x7FFFFFFF, 1}, {0x7FFFFFFD, 1}, {0x30000000, 3}};
    for (const auto& c : cases) {
        Image* image = make(c.width, 2, c.planes);
        EXPECT_EQ(std::exchange(g_status, 0), ST_NO_MEMORY) << c.width;
        EXPECT_EQ(image->full_store, nullptr);
    }
}

} // namespace
