// GIF decoder on files written by the test: LZW codes across sub-block boundaries, interlace,
// the white canvas, pages of an animation with disposal and transparency, frame control
// records and loop counts, and the block structure's failures.
#include "corpus_diff.h"
#include "gif_builder.h"
#include "image/frame_control.h"

#include <random>

namespace {

LoadResult load(const std::string& bytes) {
    return test_load_bytes("t.gif", bytes);
}

std::vector<FrameControl*> frame_controls(int list) {
    std::vector<FrameControl*> out;
    int id = 0;
    while (void* rec = list_next_of_class(list, CLS_FRAME_CONTROL, &id)) {
        if (!id) break;
        out.push_back(static_cast<FrameControl*>(rec));
    }
    return out;
}

std::vector<uint8_t> indices_of(Image* page) {
    std::vector<uint8_t> out;
    for (int y = 0; page && y < page->height; y++) {
        const uint8_t* r = image_row_read(page, y, 0);
        out.insert(out.end(), r, r + page->width);
    }
    return out;
}

std::vector<uint8_t> grey_table(int n) {
    std::vector<uint8_t> t;
    for (int i = 0; i < n; i++) t.insert(t.end(), 3, static_cast<uint8_t>(i * 200 / n));
    return t;
}

// Pixels with runs and noise, so the code table fills, codes reach 12 bits and clears follow.
std::vector<uint8_t> busy_pixels(int n, int colours, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> p(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        p[i] = static_cast<uint8_t>((rng() % 4 == 0) ? rng() % colours : (i / 7) % colours);
    return p;
}

GifFrame frame(int left, int top, int w, int h, std::vector<uint8_t> pixels) {
    GifFrame f;
    f.left = left, f.top = top, f.width = w, f.height = h;
    f.pixels = std::move(pixels);
    return f;
}

GifFile single(int w, int h, std::vector<uint8_t> pixels, std::vector<uint8_t> table) {
    GifFile g;
    g.width = w, g.height = h;
    g.global_table = std::move(table);
    g.frames.push_back(frame(0, 0, w, h, std::move(pixels)));
    return g;
}

} // namespace

// Codes across one, two and three sub-blocks (one-byte sub-blocks put 10- to 12-bit codes across
// three), and the four interlace passes for every small height, which give the rows in order.
TEST(GifLzw, SubBlocksAndInterlacedRows) {
    const std::vector<uint8_t> pixels = busy_pixels(97 * 61, 256, 7);
    for (const std::vector<int>& sizes :
         std::vector<std::vector<int>>{{}, {1}, {2}, {1, 2}, {3, 1, 254}, {255, 1, 1, 7}}) {
        SCOPED_TRACE(::testing::PrintToString(sizes));
        GifFile g = single(97, 61, pixels, grey_table(256));
        g.frames[0].block_sizes = sizes;
        EXPECT_EQ(indices_of(load(gif_build(g)).page), pixels);
    }
    for (int h : {1, 2, 3, 4, 5, 7, 8, 9, 13, 16, 17, 33}) {
        SCOPED_TRACE(h);
        std::vector<uint8_t> p = busy_pixels(5 * h, 16, static_cast<unsigned>(h));
        GifFile g = single(5, h, p, grey_table(16));
        g.frames[0].interlaced = true;
        EXPECT_EQ(indices_of(load(gif_build(g)).page), p);
    }
}

TEST(GifHeader, VersionNamesAndFields) {
    for (auto [version, index] : {std::pair{"87a", 5}, {"89a", 6}, {"90z", 7}}) {
        GifFile g = single(2, 1, {0, 1}, grey_table(4));
        g.version = version;
        LoadResult r = load(gif_build(g));
        ASSERT_EQ(r.status, 0) << version;
        EXPECT_EQ(test_fields(r.page),
                  "format " + std::to_string(index) + " bits 2/2 samples 1 planes 1");
    }
}

// The canvas an image leaves uncovered is white: white appended past a short table (GifCorpus:
// gdk-pixbuf-missing-pixels.gif), or in a full table the entry nearest to white.
TEST(GifCanvas, FullTableGivesTheNearestWhite) {
    std::vector<uint8_t> full = grey_table(256);
    full[3 * 200] = 250, full[3 * 200 + 1] = 250, full[3 * 200 + 2] = 251;
    GifFile g = single(4, 2, {1, 2}, full);
    g.frames[0].width = 2, g.frames[0].height = 1;
    EXPECT_EQ(indices_of(load(gif_build(g)).page),
              (std::vector<uint8_t>{1, 2, 200, 200, 200, 200, 200, 200}));
}

TEST(GifAnimation, PagesDisposalTransparencyAndFrameControls) {
    GifFile g = single(4, 2, {}, grey_table(8));
    g.loop_count = 0;
    GifFrame first = frame(0, 0, 4, 2, {1, 1, 1, 1, 2, 2, 2, 2});
    first.has_control = true, first.delay = 25;
    GifFrame second = frame(1, 1, 2, 1, {3, 7}); // over a copy of the first; 7 is transparent
    second.has_control = true, second.transparent = true, second.transparent_index = 7;
    second.disposal = 2, second.delay = -3 & 0xFFFF;
    GifFrame third = frame(0, 0, 2, 1, {4, 5}); // disposal 2 cleared the second's to white (8)
    third.has_control = true, third.delay = 7;
    g.frames = {first, second, third};

    LoadResult r = load(gif_build(g));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.pages.size(), 3u);
    EXPECT_EQ(indices_of(r.pages[1]), (std::vector<uint8_t>{1, 1, 1, 1, 2, 3, 2, 2}))
        << "7 shows page 1";
    EXPECT_EQ(r.pages[1]->transparent_flag, 1);
    EXPECT_EQ(r.pages[1]->transparent[0], 7);
    EXPECT_EQ(indices_of(r.pages[2]), (std::vector<uint8_t>{4, 5, 1, 1, 2, 8, 8, 2}));

    std::vector<FrameControl*> fcs = frame_controls(r.list);
    ASSERT_EQ(fcs.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(fcs[i]->page_id, r.pages[i]->id);
        EXPECT_EQ(fcs[i]->loop_count, 65535) << "loop count 0 is endless";
    }
    EXPECT_EQ(fcs[0]->delay, 25);
    EXPECT_EQ(fcs[1]->delay, -3) << "read as signed 16-bit";
    EXPECT_EQ(fcs[1]->disposal, 2);
    EXPECT_EQ(fcs[1]->transparent_flag, 1);
    EXPECT_EQ(fcs[1]->transparent_index, 7);
}

// No NETSCAPE2.0 block plays once; 0 (endless) is the animation test's.
TEST(GifLoop, NetscapeLoopCounts) {
    for (auto [loops, stored] : {std::pair{-1, 1}, {3, 3}, {65534, 65534}}) {
        SCOPED_TRACE(loops);
        GifFile g = single(1, 1, {0}, grey_table(2));
        g.loop_count = loops, g.frames[0].has_control = true;
        LoadResult r = load(gif_build(g));
        ASSERT_EQ(r.status, 0);
        std::vector<FrameControl*> fcs = frame_controls(r.list);
        ASSERT_EQ(fcs.size(), 1u);
        EXPECT_EQ(fcs[0]->loop_count, stored);
    }
}

// Unknown extension labels, garbage between blocks, plain text extensions and files without
// an image are bundled samples (GifCorpus).
TEST(GifStructure, ExtensionsEndsAndBadBytes) {
    GifFile no_terminator = single(3, 1, {0, 1, 2}, grey_table(4));
    no_terminator.comment = true;
    no_terminator.frames[0].omit_terminator = true; // data runs into the trailer: it still ends
    EXPECT_EQ(indices_of(load(gif_build(no_terminator)).page), (std::vector<uint8_t>{0, 1, 2}));

    std::string bytes = gif_build(single(1, 1, {0}, grey_table(2)));
    size_t blocks = 13 + 6;
    const struct {
        const char* what;
        std::string inserted;
    } bad[] = {
        {"no terminator after a graphic control extension",
         std::string("\x21\xF9\x04\x00\x00\x00\x00\x07", 8)},
        {"graphic control block size below 4", std::string("\x21\xF9\x03\x00\x00\x00\x00", 7)},
        {"NETSCAPE2.0 sub-blocks ending before the loop count",
         std::string("\x21\xFF\x0BNETSCAPE2.0\x02\x02\x00\x00", 18)},
    };
    for (const auto& b : bad)
        EXPECT_EQ(load(bytes.substr(0, blocks) + b.inserted + bytes.substr(blocks)).status, 14)
            << b.what;
    EXPECT_EQ(load(bytes.substr(0, 17)).status, 2) << "cut inside the colour table";
}

TEST(GifLzw, DataEndingEarlyShowsThePageBelow) {
    GifFile g = single(4, 2, {}, grey_table(16));
    GifFrame second = frame(2, 0, 2, 2, {9, 9}); // its data stops after two of its four pixels
    g.frames = {frame(0, 0, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8}), second};
    LogCapture log;
    LoadResult r = load(gif_build(g));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.pages.size(), 2u);
    EXPECT_EQ(indices_of(r.pages[1]), (std::vector<uint8_t>{1, 2, 9, 9, 5, 6, 7, 8}));
    EXPECT_NE(log.text.find("GIF : image 2 incomplete, 2 pixels sur 4"), std::string::npos);
    g.frames = {second}; // on the first page the white canvas (16) shows
    EXPECT_EQ(indices_of(load(gif_build(g)).page),
              (std::vector<uint8_t>{16, 16, 9, 9, 16, 16, 16, 16}));
}

// A file without its trailer keeps its pages (an optimised animation whose later images have
// local tables), held to Pillow's frames; data ending inside an image is the hand-made case above.
TEST(GifStructure, FileWithoutTrailerKeepsItsPages) {
    const std::string name = "magick-optimized-local-tables.gif";
    std::string whole = test_read_file(test_data_dir() + "/gif/" + name);
    LogCapture log;
    LoadResult r = load(whole.substr(0, whole.size() - 1));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.pages.size(), 3u);
    EXPECT_NE(log.text.find("pas de terminateur"), std::string::npos);
    for (int i = 0; i < 3; i++)
        expect_page_near(
            r.pages[i],
            test_data_dir() + "/ref/gif/" + name + ".frame" + std::to_string(i) + ".pam", 0);
}
