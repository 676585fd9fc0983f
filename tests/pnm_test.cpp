// PBM, PGM and PPM decoder on hand-made files: header comments wherever a header token can
// stand, the text and raw pixel readers, maxval handling and files that end early.
#include "support/reference.h"
#include "support/support.h"

#include <cstdlib>

namespace {

LoadResult load(const std::string& bytes) {
    return test_load_bytes("t.pnm", bytes);
}

} // namespace

// Comments glued to the magic, to a number and after a blank, one after another, are the bundled
// gdk-pixbuf-valid.1.ppm's; here the other places and the ends of a comment.
TEST(PnmHeader, CommentsInEveryHeaderPosition) {
    const char* headers[] = {
        "P2 3\n# between width and height\n1 4\n",
        "P2\n#\n3 1 4\n", // '#' ended by the line feed: next line is read
        "P2\r# carriage return ends it\r3 1 4\n",
    };
    for (const char* h : headers) {
        SCOPED_TRACE(h);
        LoadResult r = load(std::string(h) + "0 2 4\n");
        ASSERT_EQ(r.status, 0);
        ASSERT_TRUE(r.page);
        EXPECT_EQ(r.page->width, 3);
        EXPECT_EQ(r.page->height, 1);
        EXPECT_EQ(test_row(r.page, 0), (Row{0, 2, 4}));
        EXPECT_EQ(r.page->palette[0][2], 127);
        EXPECT_EQ(r.page->palette[0][4], 255);
    }
    // A "#" token directly followed by a line feed does not swallow the next line.
    LoadResult r = load("P2 #\n2 1 255\n7 8\n");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->width, 2);
    // Raw forms: the raster starts right after the blank that ends maxval.
    r = load(std::string("P5\n# c\n2 1\n# c\n255\n") + "\x0a\x20");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(test_row(r.page, 0), (Row{10, 32}));
}

TEST(PnmHeader, FieldsPerVariant) {
    struct Case {
        std::string bytes;
        int name_index, bits, planes;
    } cases[] = {
        {"P1 1 1 1", 18, 1, 1},        {"P2 1 1 9 3", 19, 8, 1},
        {"P3 1 1 9 1 2 3", 20, 24, 3}, {"P4 1 1\n\x80", 21, 1, 1},
        {"P5 1 1 9\n\x03", 22, 8, 1},  {"P6 1 1 9\n\x01\x02\x03", 23, 24, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        LoadResult r = load(c.bytes);
        ASSERT_EQ(r.status, 0);
        std::string bits = std::to_string(c.bits);
        EXPECT_EQ(test_fields(r.page), "format " + std::to_string(c.name_index) + " bits " + bits +
                                           "/" + bits + " samples 1 planes " +
                                           std::to_string(c.planes));
    }
}

TEST(PnmPixels, TextReaders) {
    LoadResult r = load("P1 5 2\n1 0 1 0 0 x11001"); // digits run together or split by anything
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(test_row(r.page, 0), (Row{1, 0, 1, 0, 0}));
    EXPECT_EQ(test_row(r.page, 1), (Row{1, 1, 0, 0, 1}));
    EXPECT_EQ(r.page->palette[0][0], 255);
    EXPECT_EQ(r.page->palette[0][1], 0);

    r = load("P3 2 1 10\n-10 +5 0, 1;2;10"); // signs are skipped: -10 reads 10
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(test_row(r.page, 0, 0), (Row{255, 25}));
    EXPECT_EQ(test_row(r.page, 0, 1), (Row{127, 51}));
    EXPECT_EQ(test_row(r.page, 0, 2), (Row{0, 255}));

    r = load("P2 3 2 255\n1 2 3 4"); // short text data: the rest reads as 0, no failure
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(test_row(r.page, 1), (Row{4, 0, 0}));
    r = load("P3 1 1 255"); // header ends the file
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(test_row(r.page, 0, 2), (Row{0}));
}

// Raw samples of every value under maxvals 15 (grey), 127 and 65535 (65538 samples: every
// 16-bit value, the first two again), against netpbm's pamdepth bringing them to 255: within 1
// below 255 (the page scales down), exactly for 16 bits.
TEST(PnmPixels, RawSamplesScaleAsPamdepthDoes) {
    if (std::system("command -v pamdepth > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "pamdepth (netpbm) not installed";
    for (unsigned maxval : {15u, 127u, 65535u}) {
        SCOPED_TRACE(maxval);
        const int channels = maxval == 15 ? 1 : 3, width = maxval > 255 ? 21846 : 64;
        std::string file = (channels == 1 ? "P5 " : "P6 ") + std::to_string(width) + " 2 " +
                           std::to_string(maxval) + "\n";
        for (int row = 0; row < 2; row++)
            for (int i = 0; i < width * channels; i++) {
                unsigned v = (row ? maxval - i % (maxval + 1) : i % (maxval + 1));
                file += maxval > 255 ? std::string{char(v >> 8), char(v)} : std::string(1, char(v));
            }
        std::string path = test_write_file("wide.pnm", file);
        std::string ref = test_temp_dir() + "/wide-255.pnm";
        ASSERT_EQ(std::system(("pamdepth 255 " + path + " > " + ref).c_str()), 0);
        Rgb want;
        ASSERT_TRUE(read_pam(ref, &want));
        LoadResult r = test_load(path);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(rgb_differing(page_rgb(r.page), rgb_of(want), maxval > 255 ? 0 : 1), 0);
    }
}

TEST(PnmFailures, StatusesAndKeptRows) {
    EXPECT_EQ(load("P2 2 2 0\n1 1 1 1").status, 14) << "maxval 0";
    EXPECT_EQ(load("P6 2 2 70000\n").status, 14) << "maxval above 65535";
    EXPECT_EQ(load("P5 0 2 255\n").status, 3) << "width 0 is not an image for detection";
    EXPECT_NE(load("P5 1 -1 255\n").status, 0) << "negative height";

    // Raw data ending early, or the header ending the file: status 2.
    for (const char* cut :
         {"P5 2 3 255\n\x01\x02\x03", "P6 1 2 255\n\x01\x02\x03\x04", "P4 8 2\n\xFF", "P6 1 1 255"})
        EXPECT_EQ(load(cut).status, 2) << cut;
}
