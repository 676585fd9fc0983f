// ECW images through a stand-in for the vendor's library (tests/ecw_double): the rows read at
// load, region reads into a frame buffer, library failures and nonsense, the library missing,
// and the whole program showing an ECW file.
#include "image/ecw.h"
#include "platform/sys.h"
#include "shell_fixture.h"

#include <cstdlib>
#include <limits>

namespace {

// Chosen before the first load: the library, once found, stays loaded.
const bool s_double_chosen = setenv("DORVANE_ECW_LIBRARY", DORVANE_ECW_DOUBLE, 1) == 0;

// The calls the library received since the last time this was asked.
std::string library_trace() {
    static auto trace = reinterpret_cast<const char* (*)()>(
        sys_library_symbol(sys_library_open(DORVANE_ECW_DOUBLE), "EcwDoubleTrace"));
    return trace ? trace() : "no trace";
}

// Raster pixel (x, y) as shown: red x, green y, blue a mix; one band is the red value as grey.
uint32_t shown(int x, int y, int bands = 3) {
    return bands == 1 ? rgb(x, x, x) : rgb(x, y, x * 7 + y * 13);
}

// A test file of the stand-in: signature, directives, then the raster as PPM or PGM.
std::string ecw_file(const std::string& name, int w, int h, int bands,
                     const std::string& directives = "") {
    std::string s = "\x65\x02\x01 test\n" + directives + "\nraster\n" +
                    (bands == 1 ? "P5 " : "P6 ") + std::to_string(w) + " " + std::to_string(h) +
                    " 255\n";
    for (int i = 0; i < w * h; i++)
        for (int shift = 16; shift >= (bands == 1 ? 16 : 0); shift -= 8)
            s += char(shown(i % w, i / w) >> shift);
    return test_write_file(name, s);
}

class Ecw : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(s_double_chosen);
        test_reset_core();
        library_trace();
    }
    void TearDown() override { test_reset_core(); }
};

TEST_F(Ecw, LoadReadsTheFirstTwentyRowsAndDeletingClosesTheView) {
    struct Case {
        int w, h, bands;
        std::string fields, reads;
    } cases[] = {
        {60, 100, 3, "format 25 bits 0/8 samples 3 planes 3", "setview 3 0 0 59 19 60 20\nbil x20"},
        {30, 12, 1, "format 25 bits 0/8 samples 1 planes 1", "setview 1 0 0 29 11 30 12\nbil x12"},
    };
    for (const Case& c : cases) {
        LoadResult r = test_load(ecw_file("load.ecw", c.w, c.h, c.bands));
        ASSERT_TRUE(r.status == 0 && r.page);
        EXPECT_EQ(test_fields(r.page), c.fields);
        EXPECT_EQ(palette_is_grey(r.page), c.bands == 1);
        Rgb page = page_rgb(r.page);
        for (int i = 0; i < c.w * std::min(c.h, k_ecw_block_rows); i++) {
            const uint8_t* p = &page.pixels[size_t(i) * 3];
            ASSERT_EQ(rgb(p[0], p[1], p[2]), shown(i % c.w, i / c.w, c.bands)) << i;
        }
        EXPECT_EQ(library_trace(), "open\ninfo\n" + c.reads + "\n");
        obj_delete(CLS_IMAGE, r.page->id);
        EXPECT_EQ(library_trace(), "close 1\n");
    }
}

TEST_F(Ecw, LibraryFailuresAndNonsenseEndTheLoadWithTheViewClosed) {
    const std::string described = "open\ninfo\nclose 1\n", block = "setview 3 0 0 59 19 60 20";
    const std::string unopened = "ECW : la bibliotheque n'ouvre pas le fichier",
                      undescribed = "ECW : la bibliotheque ne decrit pas le fichier",
                      empty = "ECW : image vide ou sans bande", large = "ECW : image trop grande",
                      unread = "ECW : lecture refusee par la bibliotheque";
    struct Case {
        std::string directives, trace, logged;
        int status;
    } cases[] = {
        {"fail open", "open failed\n", unopened, 7},
        {"view null", "open\n", unopened, 7},
        {"fail info", "open\ninfo failed\nclose 1\n", undescribed, 7},
        {"info null", described, undescribed, 7},
        {"width 0", described, empty, 7},
        {"bands 0", described, empty, 7},
        {"bands 257", described, "ECW : trop de bandes", 7},
        {"height 4294967295", described, large, 1},
        {"bands 200\nwidth 16777216", described, large, 1},
        {"fail setview", "open\ninfo\n" + block + " failed\nclose 1\n", unread, 7},
        {"fail bil 5", "open\ninfo\n" + block + "\nbil x4\nbil failed\nclose 1\n", unread, 7},
    };
    int n = 0;
    for (const Case& c : cases) {
        LogCapture log;
        // A file of its own: the stand-in counts calls per file.
        std::string file = ecw_file("bad" + std::to_string(n++) + ".ecw", 60, 40, 3, c.directives);
        LoadResult r = test_load(file);
        EXPECT_EQ(r.status, c.status) << c.directives;
        EXPECT_EQ(obj_count(CLS_IMAGE), 0) << c.directives;
        EXPECT_EQ(library_trace(), c.trace) << c.directives;
        EXPECT_EQ(log.text, c.logged + "\nErreur chargement / Loading error \n'" + file +
                                "' : " + status_text_of(c.status) + "\n");
    }
}

// Image coordinate of frame position i: (start + step * i) / scale in integers, at most last;
// an exact form of each case's nearest-neighbour mapping.
struct Axis {
    long long start, step, scale, last;
    int at(int i) const { return int(std::min((start + step * i) / scale, last)); }
};

TEST_F(Ecw, RegionsAreDecodedAtMostAtTheirOwnSizeThenEnlargedToTheFrame) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), huge = 1e300;
    struct Case {
        EcwRegion region;
        int fw, fh;
        std::string reads;
        Axis x, y;
    } cases[] = {
        // clang-format off
        // 11 x 12 pixels decoded, enlarged in place: x = 3.2 + 10.5 c / 100.
        {{3.2, 4.7, 10.5, 10.5}, 100, 100, "3 4 13 15 11 12\nbgra x12", {640, 21, 200, 199}, {940, 21, 200, 149}},
        // At the frame's size: one pixel each.
        {{10, 20, 40, 30}, 40, 30, "10 20 49 49 40 30\nbgra x30", {10, 1, 1, 199}, {20, 1, 1, 149}},
        // Larger than the frame: decoded at the frame's size by the library, not enlarged.
        {{0, 0, 200, 150}, 50, 40, "0 0 199 149 50 40\nbgra x40", {0, 200, 50, 199}, {0, 150, 40, 149}},
        // Past the last row: 8 rows for 10, frame rows further down than their decoded rows,
        // so the block is enlarged from a copy.
        {{0, 142.5, 4, 15}, 4, 10, "0 142 3 149 4 8\nbgra x8", {0, 1, 1, 199}, {285, 3, 2, 149}},
        // Degenerate regions stay inside the image and the frame.
        {{nan, nan, nan, nan}, 7, 7, "0 0 0 0 1 1\nbgra", {0, 0, 1, 0}, {0, 0, 1, 0}},
        {{-huge, -huge, huge, huge}, 3, 3, "0 0 0 0 1 1\nbgra", {0, 0, 1, 0}, {0, 0, 1, 0}},
        {{-5, -5, 1e9, 1e9}, 7, 7, "0 0 199 149 7 7\nbgra x7", {0, 200, 7, 199}, {0, 150, 7, 149}},
        {{huge, 149.9, -5, 1e-9}, 1, 1, "199 149 199 149 1 1\nbgra", {199, 0, 1, 199}, {149, 0, 1, 149}},
        // clang-format on
    };
    LoadResult r = test_load(ecw_file("region.ecw", 200, 150, 3));
    ASSERT_EQ(r.status, 0);
    library_trace();
    for (const Case& c : cases) {
        // The frame inside a border that must stay untouched.
        int pitch = c.fw + 3;
        std::vector<uint32_t> frame(size_t(pitch) * size_t(c.fh + 2), 0xDEADBEEF);
        ecw_read_region(r.page, c.region, c.fw, c.fh, frame.data() + pitch + 1, pitch);
        EXPECT_EQ(g_status, 0);
        EXPECT_EQ(library_trace(), "setview 3 " + c.reads + "\n");
        for (int i = 0; i < pitch * (c.fh + 2); i++) {
            int u = i % pitch - 1, v = i / pitch - 1;
            bool inside = u >= 0 && u < c.fw && v >= 0 && v < c.fh;
            ASSERT_EQ(frame[size_t(i)], inside ? shown(c.x.at(u), c.y.at(v)) : 0xDEADBEEF)
                << c.reads << " at " << u << "," << v;
        }
    }
    ecw_read_region(r.page, {0, 0, 10, 10}, 0, 5, nullptr, 0);
    EXPECT_EQ(library_trace(), "");
}

TEST_F(Ecw, FailedRegionReadsCloseTheViewAndTheNextOneOpensItAgain) {
    const std::string region = "setview 3 0 0 9 9 10 10", reopened = "open\ninfo\n" + region;
    struct Case {
        std::string directives, failure, retry;
    } cases[] = {
        {"fail setview 2", region + " failed\nclose 1\n", reopened + "\nbgra x10\n"},
        {"fail bgra 3", region + "\nbgra x2\nbgra failed\nclose 1\n", reopened + "\nbgra x10\n"},
        {"fail bgra 1\nfail open 2", region + "\nbgra failed\nclose 1\n", "open failed\n"},
    };
    std::vector<uint32_t> frame(100);
    int n = 0;
    for (const Case& c : cases) {
        LoadResult r =
            test_load(ecw_file("retry" + std::to_string(n++) + ".ecw", 60, 40, 3, c.directives));
        ASSERT_EQ(r.status, 0);
        library_trace();
        ecw_read_region(r.page, {0, 0, 10, 10}, 10, 10, frame.data(), 10);
        EXPECT_EQ(std::exchange(g_status, 0), 7) << c.directives;
        EXPECT_EQ(library_trace(), c.failure);
        auto* codec = static_cast<EcwCodec*>(r.page->codec);
        ASSERT_TRUE(codec);
        EXPECT_FALSE(codec->view || codec->band_list || codec->line_pointers);
        ecw_read_region(r.page, {0, 0, 10, 10}, 10, 10, frame.data(), 10);
        EXPECT_EQ(library_trace(), c.retry) << c.directives;
        g_status = 0;
    }
}

// The decode tool, a process of its own, with the library named by the variable.
TEST_F(Ecw, WithoutTheLibraryOrOneOfItsFunctionsTheLoadFailsWithALogLine) {
    std::string file = ecw_file("tool.ecw", 60, 40, 3), out;
    std::string missing = test_temp_dir() + "/missing/libNCSEcw.so";
    for (std::string library : {missing, std::string(DORVANE_ECW_PARTIAL)}) {
        EXPECT_EQ(test_run("DORVANE_ECW_LIBRARY='" + library + "' " DORVANE_DECODE_TOOL " '" +
                               file + "' 2>&1",
                           &out),
                  7)
            << library;
        EXPECT_EQ(out, "ECW : bibliotheque de decompression introuvable (" + library +
                           ")\nErreur chargement / Loading error \n'" + file +
                           "' : Erreur lors du chargement\n" + "Erreur lors du chargement\n");
    }
}

// The whole program on the headless layer, fitted, zoomed about the window's centre and
// dragged: every window pixel shows the raster pixel under its top-left corner, computed here
// from the view alone. A 61 x 41 page in a 200 x 150 window is centred at 1:1 with raster point
// (30, 20) on window point (100, 75), and zooming keeps that point in place.
TEST_F(Ecw, SnapshotShowsTheRasterPixelUnderEveryWindowPixel) {
    std::string decode = DORVANE_DECODE_TOOL;
    std::string tool = decode.substr(0, decode.rfind('/') + 1) + "dorvane-snapshot";
    if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "dorvane-snapshot not built";
    const double root2 = 1.4142135623730951;
    struct Case {
        int bands;
        std::string keys;
        double scale;
        int dx, dy; // window pixels the drag moved the page left and up
    } cases[] = {
        {3, "", 1, 0, 0},
        {3, "KP_Add", root2, 0, 0},
        {1, "KP_Add", root2, 0, 0},
        {3, "KP_Add KP_Add KP_Add KP_Add drag:100,75,90,70", 4, 10, 5},
    };
    for (const Case& c : cases) {
        std::string file = ecw_file("snap" + std::to_string(c.bands) + ".ecw", 61, 41, c.bands);
        std::string out = test_temp_dir() + "/shot.ppm";
        std::string cmd = tool + " --size 200x150 --keys '" + c.keys + "' --out '" + out + "' '" +
                          file + "' > '" + out + ".title'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(test_read_file(out + ".title"), file + " - 61 x 41 pixels - " +
                                                      std::to_string(c.bands) +
                                                      " x 8 bits - ECW - [1/1]\n");
        Rgb shot;
        ASSERT_TRUE(read_pam(out, &shot) && shot.width == 200 && shot.height == 150);
        int differ = 0;
        for (int i = 0; i < 200 * 150; i++) {
            double x = 30 + (i % 200 + c.dx - 100) / c.scale,
                   y = 20 + (i / 200 + c.dy - 75) / c.scale;
            bool page = x >= 0 && x < 61 && y >= 0 && y < 41;
            const uint8_t* p = &shot.pixels[size_t(i) * 3];
            differ += rgb(p[0], p[1], p[2]) != (page ? shown(int(x), int(y), c.bands) : k_white);
        }
        EXPECT_EQ(differ, 0) << c.bands << " bands, " << c.keys;
    }
}

} // namespace
