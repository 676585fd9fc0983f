// BMP decoder on hand-made files: header checks and their status codes, palettes, every
// uncompressed depth, bit fields and run-length data including codes that leave the image.
#include "bmp_builder.h"
#include "support/reference.h"
#include "support/support.h"

namespace {

LoadResult load(const std::string& bytes) {
    return test_load_bytes("t.bmp", bytes);
}

std::vector<uint32_t> grey_palette(int n) {
    std::vector<uint32_t> p;
    for (int i = 0; i < n; i++) p.push_back(0x010101u * static_cast<uint32_t>(i * 255 / (n - 1)));
    return p;
}

} // namespace

// JPEG and PNG compression, embedded profiles, 2 bits per pixel, top-down RLE8 and files shorter
// than their header are corpus files (BmpCorpus).
TEST(BmpHeader, RefusalsEndWithTheirStatus) {
    auto add = [](const char* what, int status, auto change) {
        BmpFile f;
        f.palette = grey_palette(256);
        f.data.assign(8, 0);
        change(f);
        EXPECT_EQ(load(bmp_build(f)).status, status) << what;
    };
    add("240-byte header", 3, [](BmpFile& f) { f.header_size = 240; });
    add("OS/2 2.x Huffman coding", 3, [](BmpFile& f) { f.header_size = 64, f.compression = 3; });
    add("RLE8 at 4 bits", 14, [](BmpFile& f) { f.compression = 1, f.bits = 4; });
    add("RLE4 at 8 bits", 14, [](BmpFile& f) { f.compression = 2; });
    add("top-down RLE4", 14, [](BmpFile& f) { f.compression = 2, f.bits = 4, f.height = -2; });
    add("bit fields at 24 bits", 14,
        [](BmpFile& f) { f.compression = 3, f.bits = 24, f.palette.clear(); });
    add("palette offset past the end", 14,
        [](BmpFile& f) { f.data_offset = 5000, f.data.clear(); });
    add("pixel rows cut short", 14, [](BmpFile& f) { f.data.resize(5); });
    add("run-length data shorter than declared", 14,
        [](BmpFile& f) { f.compression = 1, f.declared_size = 54 + 1024 + 100; });
    add("width 0", 14, [](BmpFile& f) { f.width = 0; });
    BmpFile fields;
    fields.compression = 3, fields.bits = 16, fields.masks = {0x7C00};
    std::string short_masks = bmp_build(fields).substr(0, 60);
    EXPECT_EQ(load(short_masks).status, 14) << "bit fields in a file below 66 bytes";
}

// Header fields and the format name; a size field of 0; the last row may lack its padding at
// the end of the file.
TEST(BmpHeader, FieldsAndDeclaredSizeZero) {
    BmpFile f;
    f.width = 3, f.height = 2, f.bits = 24;
    f.data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    f.declared_size = 0;
    LoadResult r = load(bmp_build(f));
    ASSERT_EQ(r.status, 0);
    ASSERT_TRUE(r.page);
    EXPECT_EQ(test_fields(r.page), "format 0 bits 24/24 samples 1 planes 3");
    EXPECT_STREQ(image_format_name(r.page->id), "BMP non compresse");
    EXPECT_EQ(test_row(r.page, 0, 0), (Row{12, 15, 18})) << "the unpadded last row";
}

// Palette entries are read from after the header up to the data offset, at most 2^bits.
TEST(BmpPalette, EntriesFollowTheDataOffset) {
    BmpFile f; // 8 bits, data right after the header: no palette at all, every pixel black
    f.data = {5, 6, 7, 8, 9, 10, 11, 12};
    LoadResult r = load(bmp_build(f));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(page_rgb(r.page).pixels, std::vector<uint8_t>(24, 0));

    f.palette = {0x102030, 0x405060, 0x708090}; // fewer entries than 2^bits
    r = load(bmp_build(f));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->palette[1][2], 0x80);
    EXPECT_EQ(r.page->palette[0][3], 0);

    BmpFile one_bit; // offset implies 4 entries, only 2^1 are read
    one_bit.bits = 1, one_bit.width = 8, one_bit.height = 1;
    one_bit.palette = {0xFFFFFF, 0x000000, 0x123456, 0x654321};
    one_bit.data = {0xA5, 0, 0, 0};
    r = load(bmp_build(one_bit));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->palette[0][0], 0xFF);
    EXPECT_EQ(r.page->palette[0][2], 0) << "entries past 2^bits are not read";
    EXPECT_EQ(test_row(r.page, 0), (Row{1, 0, 1, 0, 0, 1, 0, 1}));
}

// Masks the bundled samples do not use: the top bit of the default 5-5-5 layout is ignored, a
// zero mask gives 0. (Masks wider than 8 bits are corpus files: pillow-rgb32-111110.bmp.)
TEST(BmpRows, BitFieldEdgeCases) {
    BmpFile f;
    f.bits = 16, f.width = 2, f.height = 1;
    f.data = {0x00, 0x80, 0x1F, 0x00};
    LoadResult r = load(bmp_build(f));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(test_row(r.page, 0, 0), (Row{0, 0}));
    EXPECT_EQ(test_row(r.page, 0, 2), (Row{0, 255}));
    BmpFile masks;
    masks.bits = 32, masks.compression = 3, masks.width = 1, masks.height = 1;
    masks.masks = {0, 0xFFFFF000, 0x00000FFF};
    masks.data = {0xFF, 0xFF, 0xFF, 0xFF};
    r = load(bmp_build(masks));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->format_name_index, 2);
    EXPECT_EQ(test_row(r.page, 0, 0), (Row{0}));
    EXPECT_EQ(test_row(r.page, 0, 1), (Row{255}));
}

namespace {

BmpFile rle(int bits, int width, int height, std::vector<uint8_t> codes) {
    BmpFile f;
    f.bits = static_cast<int16_t>(bits), f.width = width, f.height = height;
    f.compression = bits == 8 ? 1 : 2;
    f.palette = grey_palette(bits == 8 ? 256 : 16);
    f.data = std::move(codes);
    return f;
}

} // namespace

// Codes the bundled samples do not hold, held to ImageMagick where it does not wrap: deltas, odd
// absolute runs and their padding, codes that leave the image (runs past the right edge do not
// wrap, nothing lands above the top row), and data that ends without an end-of-bitmap, inside a
// code or not (what was decoded stays). Pixels the codes skip keep index 0, the transparent index.
TEST(BmpRunLength, CodesClippingAndEarlyEndsMatchImageMagick) {
    if (!have_magick()) GTEST_SKIP() << "ImageMagick missing";
    const struct {
        const char* what;
        BmpFile file;
        std::vector<Row> rows = {}; // top to bottom, where ImageMagick wraps runs and deltas
    } cases[] = {
        {"RLE8 run, odd absolute run, end of line, delta, end of bitmap",
         rle(8, 6, 2, {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 0, 2, 9, 0, 1})},
        {"RLE4 run of two indices, even absolute run",
         rle(4, 8, 1, {5, 0xAB, 0, 3, 0x12, 0x30, 0, 1})},
        {"RLE4 odd absolute run with its padding byte",
         rle(4, 8, 1, {0, 5, 0x12, 0x34, 0x50, 0, 2, 0xCD, 0, 1})},
        {"RLE8 run past the edge, delta above the top row, line ends below row 0",
         rle(8, 4, 2,
             {200, 4, 0, 0, 3, 6, 0, 2, 250, 9, 255, 1, 0, 0, 0, 0, 0, 0, 9, 9, 0, 3, 1, 2, 3, 0}),
         {{6, 6, 6, 0}, {4, 4, 4, 4}}},
        {"RLE4 absolute run past the edge, delta far to the right",
         rle(4, 3, 1, {0, 6, 0x12, 0x34, 0x56, 0, 0, 2, 200, 0, 4, 0x77, 0, 1})},
        {"absolute run without its padding byte", rle(8, 5, 2, {2, 7, 0, 3, 1, 2, 3})},
        {"absolute run cut short", rle(8, 5, 2, {2, 7, 0, 5, 1, 2})},
        {"delta without its offsets", rle(8, 3, 1, {1, 4, 0, 2})},
        {"whole codes", rle(8, 3, 1, {2, 5})},
        {"RLE4 absolute run cut short", rle(4, 5, 1, {0, 5, 0x12, 0x34})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = test_write_file("rle.bmp", bmp_build(c.file));
        LoadResult r = test_load(path);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.page->format_name_index, 1);
        EXPECT_EQ(r.page->transparent_flag, 1);
        EXPECT_EQ(r.page->transparent[0], 0);
        for (size_t y = 0; y < c.rows.size(); y++)
            EXPECT_EQ(test_row(r.page, int(y)), c.rows[y]) << "row " << y;
        if (c.rows.empty()) {
            EXPECT_EQ(rgb_differing(page_rgb(r.page), magick_rgb(path)), 0);
        }
    }
}
