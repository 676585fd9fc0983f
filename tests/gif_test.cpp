// GIF decoder on files written by the test: LZW codes across sub-block boundaries, interlace,
// the white canvas, pages of an animation with disposal and transparency, frame control
// records and loop counts, and the block structure's failures.
#include "gif_builder.h"
#include "image/frame_control.h"
#include "support/reference.h"
#include "support/support.h"

#include <cstring>
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
    for (int y = 0; y < page->height; y++) {
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

GifFile single(int w, int h, std::vector<uint8_t> pixels, std::vector<uint8_t> table) {
    GifFile g;
    g.width = w, g.height = h;
    g.global_table = std::move(table);
    GifFrame f;
    f.width = w, f.height = h;
    f.pixels = std::move(pixels);
    g.frames.push_back(f);
    return g;
}

} // namespace

TEST(GifLzw, CodesAcrossOneTwoAndThreeSubBlocks) {
    const int w = 97, h = 61;
    std::vector<uint8_t> pixels = busy_pixels(w * h, 256, 7);
    // one-byte sub-blocks put 10- to 12-bit codes across three sub-blocks
    std::vector<std::vector<int>> layouts = {{}, {1}, {2}, {1, 2}, {3, 1, 254}, {255, 1, 1, 7}};
    for (const auto& sizes : layouts) {
        SCOPED_TRACE(::testing::PrintToString(sizes));
        GifFile g = single(w, h, pixels, grey_table(256));
        g.frames[0].block_sizes = sizes;
        LoadResult r = load(gif_build(g));
        ASSERT_EQ(r.status, 0);
        ASSERT_EQ(r.pages.size(), 1u);
        EXPECT_EQ(indices_of(r.pages[0]), pixels);
    }
    for (int colours : {2, 4, 16, 128}) { // every minimum code size, deep tables
        SCOPED_TRACE(colours);
        std::vector<uint8_t> p = busy_pixels(w * h, colours, static_cast<unsigned>(colours));
        GifFile g = single(w, h, p, grey_table(colours));
        g.frames[0].block_sizes = {1, 5};
        LoadResult r = load(gif_build(g));
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(indices_of(r.pages[0]), p);
    }
}

TEST(GifLayout, InterlacedTwinGivesTheSamePage) {
    for (int h : {1, 2, 3, 4, 5, 7, 8, 9, 13, 16, 17, 33}) {
        SCOPED_TRACE(h);
        std::vector<uint8_t> p = busy_pixels(5 * h, 16, static_cast<unsigned>(h));
        GifFile plain = single(5, h, p, grey_table(16));
        GifFile twin = plain;
        twin.frames[0].interlaced = true;
        LoadResult a = load(gif_build(plain));
        ASSERT_EQ(a.status, 0);
        std::vector<uint8_t> expected = indices_of(a.pages[0]);
        LoadResult b = load(gif_build(twin));
        ASSERT_EQ(b.status, 0);
        EXPECT_EQ(indices_of(b.pages[0]), expected);
        EXPECT_EQ(expected, p);
    }
}

TEST(GifHeader, VersionNamesAndFields) {
    struct Case {
        const char* version;
        int index;
    } cases[] = {{"87a", 5}, {"89a", 6}, {"90z", 7}};
    for (const Case& c : cases) {
        GifFile g = single(2, 1, {0, 1}, grey_table(4));
        g.version = c.version;
        LoadResult r = load(gif_build(g));
        ASSERT_EQ(r.status, 0) << c.version;
        EXPECT_EQ(test_fields(r.page),
                  "format " + std::to_string(c.index) + " bits 2/2 samples 1 planes 1");
    }
}

TEST(GifCanvas, WhiteCanvasIndex) {
    // 16 colours without white: white is appended at index 16 and fills the uncovered canvas
    GifFile g = single(4, 2, {1, 2}, grey_table(16));
    g.frames[0].width = 2, g.frames[0].height = 1;
    LoadResult r = load(gif_build(g));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(indices_of(r.pages[0]), (std::vector<uint8_t>{1, 2, 16, 16, 16, 16, 16, 16}));
    EXPECT_EQ(r.pages[0]->palette[0][16], 255);
    EXPECT_EQ(r.pages[0]->palette[2][16], 255);

    std::vector<uint8_t> with_white = grey_table(16);
    for (int c = 0; c < 3; c++) with_white[3 * 5 + c] = 255, with_white[3 * 9 + c] = 255;
    g.global_table = with_white;
    r = load(gif_build(g));
    EXPECT_EQ(indices_of(r.pages[0])[2], 5) << "first exact white wins";

    std::vector<uint8_t> full = grey_table(256); // 256 entries: the nearest to white
    full[3 * 200] = 250, full[3 * 200 + 1] = 250, full[3 * 200 + 2] = 251;
    g.global_table = full;
    r = load(gif_build(g));
    EXPECT_EQ(indices_of(r.pages[0])[2], 200);
}

TEST(GifAnimation, PagesDisposalTransparencyAndFrameControls) {
    GifFile g;
    g.width = 4, g.height = 2;
    g.global_table = grey_table(8);
    g.loop_count = 0;
    GifFrame first;
    first.width = 4, first.height = 2;
    first.pixels = {1, 1, 1, 1, 2, 2, 2, 2};
    first.has_control = true, first.delay = 25;
    GifFrame second; // smaller, over a copy of the first; index 7 is transparent
    second.left = 1, second.top = 1, second.width = 2, second.height = 1;
    second.pixels = {3, 7};
    second.has_control = true, second.transparent = true, second.transparent_index = 7;
    second.disposal = 2, second.delay = -3 & 0xFFFF;
    GifFrame third; // disposal 2 of the second image clears its rectangle to white (8)
    third.width = 2, third.height = 1;
    third.pixels = {4, 5};
    third.has_control = true, third.delay = 7;
    g.frames = {first, second, third};

    LoadResult r = load(gif_build(g));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.pages.size(), 3u);
    EXPECT_EQ(indices_of(r.pages[0]), (std::vector<uint8_t>{1, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_EQ(indices_of(r.pages[1]), (std::vector<uint8_t>{1, 1, 1, 1, 2, 3, 2, 2}))
        << "7 shows page 1";
    EXPECT_EQ(r.pages[1]->transparent_flag, 1);
    EXPECT_EQ(r.pages[1]->transparent[0], 7);
    EXPECT_EQ(indices_of(r.pages[2]), (std::vector<uint8_t>{4, 5, 1, 1, 2, 8, 8, 2}));

    std::vector<FrameControl*> fcs = frame_controls(r.list);
    ASSERT_EQ(fcs.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(fcs[i]->page_id, r.pages[i]->id);
        EXPECT_EQ(fcs[i]->page_id_copy, r.pages[i]->id);
        EXPECT_EQ(fcs[i]->loop_count, 65535) << "loop count 0 is endless";
    }
    EXPECT_EQ(fcs[0]->delay, 25);
    EXPECT_EQ(fcs[1]->delay, -3) << "read as signed 16-bit";
    EXPECT_EQ(fcs[1]->disposal, 2);
    EXPECT_EQ(fcs[1]->transparent_flag, 1);
    EXPECT_EQ(fcs[1]->transparent_index, 7);
}

TEST(GifLoop, NetscapeLoopCounts) {
    struct Case {
        int loops;
        int stored;
    } cases[] = {{-1, 1}, {0, 65535}, {3, 3}, {65534, 65534}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loops);
        GifFile g = single(1, 1, {0}, grey_table(2));
        g.loop_count = c.loops;
        g.frames[0].has_control = true;
        LoadResult r = load(gif_build(g));
        ASSERT_EQ(r.status, 0);
        std::vector<FrameControl*> fcs = frame_controls(r.list);
        ASSERT_EQ(fcs.size(), 1u);
        EXPECT_EQ(fcs[0]->loop_count, c.stored);
    }
    GifFile g = single(1, 1, {0}, grey_table(2));
    std::string bytes = gif_build(g);
    // NETSCAPE2.0 whose sub-blocks end before the loop sub-block
    std::string bad = bytes.substr(0, 19) +
                      std::string("\x21\xFF\x0BNETSCAPE2.0\x02\x02\x00\x00", 18) + bytes.substr(19);
    EXPECT_EQ(load(bad).status, 14);
}

TEST(GifStructure, ExtensionsEndsAndBadBytes) {
    GifFile g = single(3, 1, {0, 1, 2}, grey_table(4));
    g.comment = g.plain_text = true;
    LoadResult r = load(gif_build(g));
    ASSERT_EQ(r.status, 0) << "comment and plain text are skipped";
    EXPECT_EQ(indices_of(r.pages[0]), (std::vector<uint8_t>{0, 1, 2}));

    GifFile no_terminator = g; // data runs into the trailer: the image still ends
    no_terminator.frames[0].omit_terminator = true;
    r = load(gif_build(no_terminator));
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(indices_of(r.pages[0]), (std::vector<uint8_t>{0, 1, 2}));

    std::string bytes = gif_build(single(1, 1, {0}, grey_table(2)));
    size_t blocks = 13 + 6;
    const struct {
        const char* what;
        std::string inserted;
    } bad[] = {
        {"extension label 0x02", std::string("\x21\x02\x00", 3)},
        {"garbage between blocks", "\x55"},
        {"no terminator after a graphic control extension",
         std::string("\x21\xF9\x04\x00\x00\x00\x00\x07", 8)},
        {"graphic control block size below 4", std::string("\x21\xF9\x03\x00\x00\x00\x00", 7)},
    };
    for (const auto& b : bad)
        EXPECT_EQ(load(bytes.substr(0, blocks) + b.inserted + bytes.substr(blocks)).status, 14)
            << b.what;
    EXPECT_EQ(load(bytes.substr(0, 17)).status, 2) << "cut inside the colour table";
    EXPECT_EQ(load(bytes.substr(0, blocks) + "\x3B").status, 14) << "no image at all";
}

TEST(GifLzw, DataEndingEarlyShowsThePageBelow) {
    GifFile g; // the second image's data stops after two of its four pixels
    g.width = 4, g.height = 2;
    g.global_table = grey_table(16);
    GifFrame first;
    first.width = 4, first.height = 2;
    first.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    GifFrame second;
    second.left = 2, second.width = 2, second.height = 2;
    second.pixels = {9, 9};
    g.frames = {first, second};
    LogCapture log;
    LoadResult r = load(gif_build(g));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.pages.size(), 2u);
    EXPECT_EQ(indices_of(r.pages[1]), (std::vector<uint8_t>{1, 2, 9, 9, 5, 6, 7, 8}));
    EXPECT_NE(log.text.find("GIF : image 2 incomplete, 2 pixels sur 4"), std::string::npos);
    g.frames = {second}; // on the first page the white canvas (16) shows
    r = load(gif_build(g));
    EXPECT_EQ(indices_of(r.pages[0]), (std::vector<uint8_t>{16, 16, 9, 9, 16, 16, 16, 16}));
}

namespace {

// Frame i of a 60 x 40 animation: each frame repaints a middle rectangle in colours of its own
// (other main channels each time), so optimising writers give rectangles with their own colour
// tables.
uint32_t frame_colour(int i, int x, int y) {
    if (i > 0 && !(y >= 10 && y < 30 && x >= 15 && x < 45)) return frame_colour(i - 1, x, y);
    uint32_t c[3] = {0, 0, 0};
    c[i % 3] = uint32_t(x * 4 + y * 2) % 256;
    c[(i + 1) % 3] = uint32_t(y * 6 + i * 40) % 256;
    return c[0] << 16 | c[1] << 8 | c[2];
}

std::string frame_files() {
    std::string names;
    for (int i = 0; i < 4; i++) {
        std::string name = test_temp_dir() + "/frame" + std::to_string(i) + ".ppm";
        write_ppm(name, 60, 40, [i](int x, int y) { return frame_colour(i, x, y); });
        names += " " + name;
    }
    return names;
}

std::vector<Rgb> pillow_frames(const std::string& path, int n) {
    std::vector<Rgb> frames;
    for (int i = 0; i < n; i++) frames.push_back(pillow_rgb(path, i));
    return frames;
}

} // namespace

// Animations as writers make them: ImageMagick's optimised rectangles with their own colour
// tables drawn over the page below, Pillow's whole frames with local tables, rectangles that
// disposal 2 clears; every page as Pillow composes it, or as ImageMagick does over white.
TEST(GifMadeFiles, AnimationsOfEverydayWritersMatchIndependentDecoders) {
    if (!have_magick() || !have_pillow()) GTEST_SKIP() << "ImageMagick or Pillow missing";
    std::string frames = frame_files(), dir = test_temp_dir();
    std::string small = dir + "/small.ppm";
    write_ppm(small, 20, 10, [](int x, int y) { return 0x2050F0u + (uint32_t(x * 8) << 16); });
    std::string pillow_save = "/usr/bin/python3 -c 'import sys; from PIL import Image; f = "
                              "[Image.open(n) for n in sys.argv[2:]]; f[0].save(sys.argv[1], "
                              "save_all=True, append_images=f[1:], disposal=1, duration=100)'";
    const struct {
        const char* what;
        std::string command; // writes the file named last
        bool pillow_reference;
    } cases[] = {
        {"ImageMagick optimised rectangles",
         "/usr/bin/convert -delay 10" + frames +
             " -layers OptimizeFrame -layers OptimizeTransparency " + dir + "/a.gif",
         true},
        {"Pillow whole frames", pillow_save + " " + dir + "/a.gif" + frames, true},
        {"ImageMagick disposal 2 of offset rectangles",
         "/usr/bin/convert -dispose Background -delay 10 " + dir + "/frame0.ppm -page +5+5 " +
             small + " -page +30+20 " + small + " " + dir + "/a.gif",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = dir + "/" + c.what + ".gif";
        ASSERT_TRUE(run_command(c.command + " && mv " + dir + "/a.gif '" + path + "'"));
        LoadResult r = test_load(path);
        ASSERT_EQ(r.status, 0);
        std::vector<Rgb> expected = c.pillow_reference
                                        ? pillow_frames(path, static_cast<int>(r.pages.size()))
                                        : magick_frames_on_white(path);
        ASSERT_EQ(r.pages.size(), expected.size());
        for (size_t i = 0; i < expected.size(); i++)
            EXPECT_EQ(rgb_differing(page_rgb(r.pages[i]), expected[i]), 0) << "page " << i;
    }
}

// A file cut short keeps its pages: without its trailer every page; cut inside an image's data,
// that page shows the pixels its data gave over the page below.
TEST(GifMadeFiles, CutFilesKeepTheirPages) {
    if (!have_magick() || !have_pillow()) GTEST_SKIP() << "ImageMagick or Pillow missing";
    std::string path = test_temp_dir() + "/whole.gif";
    ASSERT_TRUE(run_command("/usr/bin/convert -delay 10" + frame_files() +
                            " -layers OptimizeFrame -layers OptimizeTransparency " + path));
    std::vector<Rgb> expected = pillow_frames(path, 4);
    std::string whole = test_read_file(path);
    ASSERT_EQ(whole.back(), '\x3B');
    {
        LogCapture log;
        LoadResult r = load(whole.substr(0, whole.size() - 1));
        ASSERT_EQ(r.status, 0);
        ASSERT_EQ(r.pages.size(), 4u);
        for (size_t i = 0; i < 4; i++)
            EXPECT_EQ(rgb_differing(page_rgb(r.pages[i]), expected[i]), 0) << "page " << i;
        EXPECT_NE(log.text.find("pas de terminateur"), std::string::npos);
    }
    // The last image is the middle rectangle (30 x 20 at 15, 10) with a local table of 256
    // colours; cut halfway through its data.
    size_t data = whole.rfind(std::string("\x2C\x0F\x00\x0A\x00", 5)) + 10 + 768 + 1;
    ASSERT_LT(data, whole.size());
    LogCapture log;
    LoadResult r = load(whole.substr(0, data + (whole.size() - data) / 2));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.pages.size(), 4u);
    for (size_t i = 0; i < 3; i++)
        EXPECT_EQ(rgb_differing(page_rgb(r.pages[i]), expected[i]), 0) << "page " << i;
    int decoded = 0;
    size_t at = log.text.find("GIF : image 4 incomplete, ");
    ASSERT_NE(at, std::string::npos) << log.text;
    decoded = std::atoi(log.text.c_str() + at + 26);
    ASSERT_GT(decoded, 0);
    ASSERT_LT(decoded, 600);
    Rgb page = page_rgb(r.pages[3]);
    long wrong = 0;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 60; x++) {
            bool inside = y >= 10 && y < 30 && x >= 15 && x < 45;
            const Rgb& want =
                inside && (y - 10) * 30 + (x - 15) < decoded ? expected[3] : expected[2];
            size_t i = (size_t(y) * 60 + x) * 3;
            wrong += memcmp(&page.pixels[i], &want.pixels[i], 3) != 0;
        }
    EXPECT_EQ(wrong, 0);
}
