// TIFF decoder: files made by public tools (libtiff's tiffcp and tiffset, ImageMagick, Pillow)
// against libtiff's own decode, tag checks on hand-made files, strips decoded on demand, and a
// large file drawn through the display within a small memory budget.
#include "corpus_diff.h"
#include "decoders/tiff.h"
#include "display/zoom.h"
#include "display_fixture.h"
#include "tiff_builder.h"

#include "core/store.h"

#include <cstdio>
#include <functional>

// Every file tests/data/tiff/make_tiffs.py writes (strips, tiles, separate planes, the
// predictor, both byte orders, 16-bit samples giving their high byte, an LZW table filling up
// without a clear code, CMYK, bilevel and Group 4 in both senses and fill orders, orientations 2
// to 8, several pages) matches libtiff's decode exactly unless listed here.
TEST(TiffFiles, MadeByPublicToolsMatchLibtiff) {
    std::string dir = test_made_tiffs();
    if (dir.empty()) GTEST_SKIP() << "libtiff-tools, ImageMagick or Pillow missing";
    const Expectation cases[] = {
        {"palette8.tif palette8-packbits.tif palette16.tif", 0,
         "colour maps scale v x 255 / 65535 with rounding; libtiff takes the high byte", 0, 1},
        {"ycbcr.tif", 0, "YCbCr without subsampling converted to RGB; rounding", 0, 1},
        {"ycbcr-subsampled.tif g3.tif jpeg.tif grey16.tif", 3,
         "subsampled YCbCr, Group 3, JPEG and 16-bit grey are refused"},
        {"reduced.tif", 0, "a reduced-resolution first directory gives no page", kSizesDiffer},
    };
    const std::vector<std::string> files = test_list_dir(dir, ".tif");
    EXPECT_GE(files.size(), 60u);
    for (const std::string& name : files) {
        const Expectation* e = find_expectation(cases, sizeof cases / sizeof *cases, name);
        SCOPED_TRACE(name + ": " + (e ? e->why : "matches libtiff"));
        LoadResult r = test_load(dir + "/" + name);
        ASSERT_EQ(r.status, e ? e->status : 0);
        if (r.status != 0) continue;
        if (e && e->differing == kSizesDiffer) {
            EXPECT_TRUE(r.pages.empty());
            continue;
        }
        ASSERT_EQ(r.pages.size(), 1u);
        auto named = [&](const char* part) { return name.find(part) != std::string::npos; };
        EXPECT_EQ(r.page->format_name_index, named("lzw")        ? 12
                                             : named("g4")       ? 11
                                             : named("packbits") ? 14
                                                                 : 8);
        expect_page_near(r.page, dir + "/" + name + ".pam", e ? e->tolerance : 0);
    }
}

// Tag values the public tools do not write; compressions, sample layouts, photometrics and tags
// that are refused are the made files' (g3, jpeg, grey16) and the corpus's (unknown tags,
// entries of the wrong type, strips far shorter than their rows, compression 0, CCITT, CIELab,
// signed samples, 2 bits, bits per sample that differ, the old LZW bit order).
// The format name of an uncompressed file.
TEST(TiffTags, HandMadeFilesEndWithTheirStatus) {
    struct Case {
        const char* what;
        int status;
        std::function<void(TiffFile&)> change;
        Row row1 = {}; // the second row, when it is checked
    };
    const std::string grey(4, '\x40');
    const Case cases[] = {
        {"as made", 0, [](TiffFile&) {}},
        {"version other than 42", 14,
         [](TiffFile& f) { f.magic = f.big_endian ? 0x2A2A : 0x012A; }},
        {"tag 600 is skipped", 0, [](TiffFile& f) { tiff_set(&f, 600, 3, {1}); }},
        {"photometric 7", 14, [](TiffFile& f) { tiff_set(&f, 262, 3, {7}); }},
        {"photometric 9", 14, [](TiffFile& f) { tiff_set(&f, 262, 3, {9}); }},
        {"resolution unit 4", 14, [](TiffFile& f) { tiff_set(&f, 296, 3, {4}); }},
        {"T6 options bit 0", 14, [](TiffFile& f) { tiff_set(&f, 293, 4, {1}); }},
        {"colour map of 10 values", 14,
         [](TiffFile& f) {
             tiff_set(&f, 262, 3, {3});
             tiff_set(&f, 320, 3, std::vector<uint32_t>(10, 0));
         }},
        {"colour map longer than 2^bits", 14,
         [](TiffFile& f) {
             tiff_set(&f, 262, 3, {3});
             tiff_set(&f, 320, 3, std::vector<uint32_t>(3 * 257, 0));
         }},
        {"palette without colour map", 14, [](TiffFile& f) { tiff_set(&f, 262, 3, {3}); }},
        {"tile width 20", 14, [](TiffFile& f) { tiff_set(&f, 322, 4, {20}); }},
        {"fewer byte counts than strips", 14,
         [](TiffFile& f) {
             tiff_set(&f, 273, 4, {8, 10});
             tiff_set(&f, 278, 3, {1});
         }},
        {"no byte counts", 14, [](TiffFile& f) { f.entries.pop_back(); }},
        {"orientation 9", 14, [](TiffFile& f) { tiff_set(&f, 274, 3, {9}); }},
        {"strip offset past the end", 2, [](TiffFile& f) { tiff_set(&f, 273, 4, {100000}); }},
        {"byte count past the end, rows all there", 0,
         [](TiffFile& f) { tiff_set(&f, 279, 4, {100000}); }},
        {"PackBits run past the row", 14,
         [](TiffFile& f) {
             f.data = "\xFD\x07";
             tiff_set(&f, 259, 3, {32773});
             tiff_set(&f, 279, 4, {2});
         }},
        {"LZW code far past the table", 14,
         [](TiffFile& f) {
             f.data = std::string("\x80\x3F\xFF\xFF\xFF", 5); // clear, then code 255, then 511
             tiff_set(&f, 259, 3, {5});
             tiff_set(&f, 279, 4, {5});
         }},
        {"predictor 3", 3, [](TiffFile& f) { tiff_set(&f, 317, 3, {3}); }},
        {"a -128 PackBits control byte between runs is nothing",
         0,
         [](TiffFile& f) {
             f.data = std::string("\x01\x10\x20\x80\x01\x30\x40", 7);
             tiff_set(&f, 259, 3, {32773});
             tiff_set(&f, 279, 4, {7});
         },
         {0x30, 0x40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool big_endian : {false, true}) {
            TiffFile f = tiff_strip_file(2, 2, 8, 1, 1, grey);
            f.big_endian = big_endian;
            c.change(f);
            LoadResult r = test_load_bytes("t.tif", tiff_build(f));
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.pages.size(), r.status == 0 ? 1u : 0u);
            if (r.page && !c.row1.empty()) {
                EXPECT_EQ(test_row(r.page, 1), c.row1);
            }
        }
    }
    LoadResult r = test_load_bytes("t.tif", tiff_build(tiff_strip_file(2, 2, 8, 1, 1, grey)));
    EXPECT_STREQ(r.page ? image_format_name(r.page->id) : "", "TIFF non compresse");
}

// A strip is decoded when one of its rows is read, and again after its rows were dropped, to
// the same pixels; a damaged strip shows black and is logged.
TEST(TiffOnDemand, StripsDecodeWhenReadAndAgainAfterDropping) {
    std::string dir = test_made_tiffs();
    if (dir.empty()) GTEST_SKIP() << "libtiff-tools, ImageMagick or Pillow missing";
    std::string file = dir + "/lzw.tif"; // 43 rows in strips of 7
    LoadResult r = test_load(file);
    ASSERT_EQ(r.status, 0);
    Image* page = r.page;
    const size_t row_bytes = size_t(page->width) * 3;
    EXPECT_FALSE(store_row_in_memory(page->full_store, 20));
    ASSERT_TRUE(image_row_read(page, 20, 1));
    EXPECT_TRUE(store_row_in_memory(page->full_store, 15));
    Rgb first = page_rgb(page);
    for (int y = 0; y < page->height; y++) store_drop_row(page->full_store, y);
    EXPECT_TRUE(page_rgb(page).pixels == first.pixels);
    expect_page_near(page, file + ".pam", 0);

    // Strip 3 (rows 21 to 27) overwritten with codes past the table.
    const TiffLayout* layout = static_cast<const TiffLayout*>(page->codec);
    std::string bytes = test_read_file(file);
    for (uint32_t i = 0; i < layout->byte_counts[3]; i++) bytes[layout->offsets[3] + i] = '\xFF';
    LoadResult damaged = test_load_bytes("damaged-strip.tif", bytes);
    ASSERT_EQ(damaged.status, 0);
    LogCapture log;
    Rgb shown = page_rgb(damaged.page), expected = first;
    EXPECT_NE(log.text.find("Erreur chargement"), std::string::npos);
    std::fill_n(expected.pixels.begin() + long(21 * row_bytes), 7 * row_bytes, 0);
    EXPECT_EQ(rgb_differing(shown, expected), 0);
}

// 200 million pixels in LZW strips of one row, shown fitted and at 1:1 in several places with a
// 32 MB budget: every window pixel is the file's, and the rows in memory stay within the budget.
TEST(TiffDisplay, LargeFileShownWithinASmallBudget) {
    if (test_made_tiffs().empty()) GTEST_SKIP() << "libtiff-tools, ImageMagick or Pillow missing";
    const int w = 20000, h = 10000;
    std::string file = test_temp_dir() + "/large.tif";
    std::string command = "/usr/bin/python3 " + test_data_dir() + "/tiff/make_tiffs.py --large " +
                          file + " " + std::to_string(w) + " " + std::to_string(h);
    ASSERT_EQ(std::system(command.c_str()), 0);
    DocumentWindow d = make_document(640, 480);
    const long long budget = 32 << 20;
    store_set_budget(budget);
    int list = 0;
    ASSERT_EQ(test_load_file(file, &list), 0);
    Image* page = test_pages(list).at(0);
    show_image(d, page);
    auto grey = [](int x, int y) {
        int v = (x + 3 * y + ((x ^ y) & 31)) & 255;
        return rgb(v, v, v);
    };
    auto rows_held = [&]() {
        long long bytes = 0;
        for (Table* s : {page->full_store, page->reduced_store})
            for (int y = 0; y < s->rows; y++)
                if (store_row_in_memory(s, y)) bytes += s->row_size;
        return bytes;
    };
    const int origins[][2] = {{-1, -1}, {0, 0}, {9000, 4000}, {19360, 9520}, {5000, 9000}};
    for (const auto& o : origins) { // first fitted, then at 1:1
        SCOPED_TRACE(std::to_string(o[0]) + "," + std::to_string(o[1]));
        if (o[0] < 0)
            fit_to_window(640, 480), set_zoom(true, 0);
        else
            set_view(d, 1.0, -o[0], -o[1]);
        redraw_all(d);
        expect_matches(compare_with_reference(d, w, h, grey, rgb(10, 200, 30), o[0] >= 0));
        EXPECT_LE(rows_held(), budget);
    }
    std::remove(file.c_str());
}
