// Image buffer: row layout, reduced copies, rotation, compositing, palettes, rows decoded on
// demand again after the store dropped them.
#include "core/mem.h"
#include "core/store.h"
#include "core/services.h"
#include "support/support.h"

#include <cstring>

namespace {

class ImageBuffer : public ::testing::Test {
  protected:
    void SetUp() override {
        test_reset_core();
        store_set_budget(1LL << 40);
    }
    Image* make(int w, int h, int planes, int mode = STORE_PLAIN) {
        int id = 0;
        Image* image = static_cast<Image*>(obj_create(CLS_IMAGE, &id));
        image_alloc(image, w, h, planes, mode);
        return image;
    }
    // Pixel value pattern: distinct per (x, y, plane).
    static uint8_t value(int x, int y, int p) {
        return static_cast<uint8_t>(x * 3 + y * 17 + p * 101);
    }
    void fill(Image* image) {
        for (int y = 0; y < image->height; y++)
            for (int p = 0; p < image->planes; p++) {
                uint8_t* row = image_row_write(image, y, p);
                for (int x = 0; x < image->width; x++) row[x] = value(x, y, p);
            }
    }
};

TEST_F(ImageBuffer, StridesAndReducedGeometry) {
    Image* a = make(1, 1, 1);
    EXPECT_EQ(a->stride, 4);
    EXPECT_EQ(a->reduced_stride, 4);
    Image* b = make(9, 9, 1);
    EXPECT_EQ(b->reduced_stride, 4);
    EXPECT_EQ(b->reduced_store->rows, 1);
    Image* c = make(10, 25, 3);
    EXPECT_EQ(c->reduced_stride, 4);
    EXPECT_EQ(c->reduced_store->rows, 2);
    EXPECT_EQ(c->reduced_store->row_size, 12);
    Image* d = make(5, 2, 3);
    EXPECT_EQ(d->full_store->row_size, 24);
    uint8_t* red = image_row_write(d, 1, 0);
    EXPECT_EQ(image_row_write(d, 1, 1), red + 8);
    EXPECT_EQ(image_row_write(d, 1, 2), red + 16);
    image_row_write(d, 2, 0);
    EXPECT_EQ(g_status, ST_NO_MEMORY);
}

TEST_F(ImageBuffer, ReducedRowsSampleEveryTenthPixel) {
    Image* image = make(95, 43, 3);
    fill(image);
    for (int r = 0; r < 4; r++) {
        const uint8_t* row = image_row_view(image, r + 0.7, true);
        ASSERT_NE(row, nullptr);
        for (int p = 0; p < 3; p++)
            for (int i = 0; i < 9; i++)
                EXPECT_EQ(row[p * image->reduced_stride + i], value(10 * i, 10 * r, p));
    }
    const uint8_t* full = image_row_view(image, 5.9, false);
    EXPECT_EQ(full[3], value(3, 5, 0));
}

// A picture turned both ways under a small budget: rows are made band by band from source
// rows that come back from swap files, each pixel where the turn puts it (counter-clockwise,
// the new top-left pixel is the source's top-right one; clockwise, its bottom-left one).
TEST_F(ImageBuffer, RotationOfAPictureLargerThanTheBudget) {
    Image* src = make(3000, 1000, 3);
    store_set_budget(1 << 20);
    fill(src);
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
// wrapped round into a small or negative stride.
TEST_F(ImageBuffer, WidthsNearTheLimitAreRefused) {
    const struct {
        int width, planes;
    } cases[] = {{0x7FFFFFFF, 1}, {0x7FFFFFFD, 1}, {0x30000000, 3}};
    for (const auto& c : cases) {
        Image* image = make(c.width, 2, c.planes);
        EXPECT_EQ(std::exchange(g_status, 0), ST_NO_MEMORY) << c.width;
        EXPECT_EQ(image->full_store, nullptr);
    }
}

TEST_F(ImageBuffer, CloneCopiesHeaderRowsAndPath) {
    Image* src = make(20, 12, 3);
    fill(src);
    src->format_name_index = 15;
    src->palette[1][7] = 99;
    char path[] = "some/file.png";
    mem_strdup(src->path, path);
    int id = 0;
    image_clone(src->id, &id);
    Image* copy = obj_find_as<Image>(CLS_IMAGE, id);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->path, src->path);
    EXPECT_STREQ(copy->path, "some/file.png");
    EXPECT_EQ(copy->palette[1][7], 99);
    EXPECT_EQ(copy->format_name_index, 15);
    EXPECT_EQ(image_row_read(copy, 11, 2)[19], value(19, 11, 2));
    obj_delete(CLS_IMAGE, src->id);
    EXPECT_EQ(image_row_read(copy, 3, 1)[4], value(4, 3, 1));
}

TEST_F(ImageBuffer, CompositeTakesPreviousWhereTransparent) {
    Image* prev = make(4, 2, 1);
    Image* cur = make(4, 2, 1);
    Image* target = make(4, 2, 1);
    for (int y = 0; y < 2; y++) {
        std::memset(image_row_write(prev, y, 0), 9, 4);
        std::memset(image_row_write(target, y, 0), 5, 4);
        uint8_t* c = image_row_write(cur, y, 0);
        c[0] = 3, c[1] = 1, c[2] = 3, c[3] = 2;
    }
    cur->transparent[0] = 3;
    image_composite(prev, cur, target);
    const uint8_t* t = image_row_read(target, 1, 0);
    EXPECT_EQ(t[0], 9);
    EXPECT_EQ(t[1], 5);
    EXPECT_EQ(t[2], 9);
    Image* small = make(2, 2, 1);
    image_composite(small, cur, target); // previous narrower than the target: nothing
    EXPECT_EQ(image_row_read(target, 0, 0)[0], 9);
}

TEST_F(ImageBuffer, Palettes) {
    Image* image = make(1, 1, 1);
    palette_grey(image, 2);
    EXPECT_EQ(image->palette[0][1], 85);
    EXPECT_EQ(image->palette[2][3], 255);
    palette_grey(image, 1);
    EXPECT_EQ(image->palette[1][1], 255);
    palette_grey(image, 9);
    EXPECT_EQ(std::exchange(g_status, 0), ST_VALUE);
    palette_identity(image);
    EXPECT_TRUE(palette_is_identity(image));
    image->bit_count = 8;
    EXPECT_TRUE(palette_is_grey(image));
    image->palette[0][200] = 1;
    EXPECT_FALSE(palette_is_grey(image));
}

TEST_F(ImageBuffer, OnDemandRowsDecodeThroughTheDispatchAgainAfterEviction) {
    // An on-demand image whose format has no decoder: every decode attempt is logged by the
    // dispatch, which makes the attempts countable.
    Image* image = make(100, 9000, 1, STORE_ON_DEMAND);
    image->format_id = FMT_NONE;
    mem_strdup(image->path, "on/demand.tif");
    LogCapture log;
    const std::string line =
        "Erreur chargement / Loading error \n'on/demand.tif' : Format inconnu\n";
    ASSERT_NE(image_row_read(image, 0, 0), nullptr);
    EXPECT_EQ(g_status, 0);                          // the failed decode was logged and cleared
    ASSERT_NE(image_row_read(image, 0, 0), nullptr); // in memory: no second decode
    EXPECT_EQ(log.text, line);
    // Drop the row as the store would under pressure: the next read decodes again.
    store_drop_row(image->full_store, 0);
    image_row_read(image, 0, 0);
    EXPECT_EQ(log.text, line + line);
}

} // namespace
