// ECW images through a stand-in for the vendor's library (tests/ecw_double): the block of rows
// read at load, region reads into a frame buffer, every library failure and nonsense answer,
// the library missing, and the whole program showing an ECW file.
#include "image/ecw.h"
#include "platform/sys.h"
#include "shell_fixture.h"

#include <cmath>
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

// Raster pixel (x, y): red x, green y, blue a mix, so every position has its own colour.
uint32_t colour_at(int x, int y) {
    return rgb(x, y, x * 7 + y * 13);
}

// A test file of the stand-in: signature, directives, then the raster as PPM or PGM.
std::string ecw_file(const std::string& name, int w, int h, int bands,
                     const std::string& directives = "") {
    std::string raster =
        (bands == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t c = colour_at(x, y);
            if (bands == 1)
                raster += char(c >> 16);
            else
                raster += {char(c >> 16), char(c >> 8), char(c)};
        }
    return test_write_file(name, "\x65\x02\x01 test raster\n" + directives + "\nraster\n" + raster);
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
        std::string fields, trace;
    } cases[] = {
        {60, 100, 3, "format 25 bits 0/8 samples 3 planes 3", "setview 3 0 0 59 19 60 20\nbil x20"},
        {30, 12, 1, "format 25 bits 0/8 samples 1 planes 1", "setview 1 0 0 29 11 30 12\nbil x12"},
    };
    for (const Case& c : cases) {
        LoadResult r = test_load(ecw_file("load.ecw", c.w, c.h, c.bands));
        ASSERT_EQ(r.status, 0);
        ASSERT_TRUE(r.page);
        EXPECT_EQ(test_fields(r.page), c.fields);
        EXPECT_EQ(r.page->palette[1][200], c.bands == 1 ? 200 : 0); // grey palette for one band
        for (int y = 0; y < std::min(c.h, k_ecw_block_rows); y++)
            for (int p = 0; p < c.bands; p++) {
                Row expected;
                for (int x = 0; x < c.w; x++)
                    expected.push_back(int(colour_at(x, y) >> (16 - 8 * p)) & 255);
                ASSERT_EQ(test_row(r.page, y, p), expected) << c.w << "x" << c.h << " row " << y;
            }
        EXPECT_EQ(library_trace(), "open\ninfo\n" + c.trace + "\n");
        obj_delete(CLS_IMAGE, r.page->id);
        EXPECT_EQ(library_trace(), "close 1\n");
    }
}

TEST_F(Ecw, LibraryFailuresAndNonsenseEndTheLoadWithTheViewClosed) {
    const std::string setview = "setview 3 0 0 59 19 60 20";
    struct Case {
        std::string directives;
        int status;
        std::string trace, logged;
    } cases[] = {
        {"fail open", 7, "open failed\n", "ECW : la bibliotheque n'ouvre pas le fichier"},
        {"view null", 7, "open\n", "ECW : la bibliotheque n'ouvre pas le fichier"},
        {"fail info", 7, "open\ninfo failed\nclose 1\n",
         "ECW : la bibliotheque ne decrit pas le fichier"},
        {"info null", 7, "open\ninfo\nclose 1\n", "ECW : la bibliotheque ne decrit pas le fichier"},
        {"width 0", 7, "open\ninfo\nclose 1\n", "ECW : image vide ou sans bande"},
        {"bands 0", 7, "open\ninfo\nclose 1\n", "ECW : image vide ou sans bande"},
        {"bands 257", 7, "open\ninfo\nclose 1\n", "ECW : trop de bandes"},
        {"height 4294967295", 1, "open\ninfo\nclose 1\n", "ECW : image trop grande"},
        {"width 16777217", 1, "open\ninfo\nclose 1\n", "ECW : image trop grande"},
        {"bands 200\nwidth 16777216", 1, "open\ninfo\nclose 1\n", "ECW : image trop grande"},
        {"fail setview", 7, "open\ninfo\n" + setview + " failed\nclose 1\n",
         "ECW : lecture refusee par la bibliotheque"},
        {"fail bil 5", 7, "open\ninfo\n" + setview + "\nbil x4\nbil failed\nclose 1\n",
         "ECW : lecture refusee par la bibliotheque"},
    };
    int images = obj_count(CLS_IMAGE), n = 0;
    for (const Case& c : cases) {
        LogCapture log;
        // A file of its own: the stand-in counts calls per file.
        LoadResult r =
            test_load(ecw_file("bad" + std::to_string(n++) + ".ecw", 60, 40, 3, c.directives));
        EXPECT_EQ(r.status, c.status) << c.directives;
        EXPECT_EQ(obj_count(CLS_IMAGE), images) << c.directives;
        EXPECT_EQ(library_trace(), c.trace) << c.directives;
        EXPECT_EQ(log.text.rfind(c.logged + "\nErreur chargement / Loading error \n", 0), 0u)
            << log.text;
    }
}

// Image coordinate of frame position i: (start + step * i) / scale, integer division, at most
// last. An exact rational form of each case's nearest-neighbour mapping.
struct Axis {
    long long start, step, scale, last;
    int at(int i) const { return int(std::min((start + step * i) / scale, last)); }
};

TEST_F(Ecw, RegionsAreDecodedAtMostAtTheirOwnSizeThenEnlargedToTheFrame) {
    struct Case {
        EcwRegion region;
        int fw, fh;
        std::string setview;
        Axis x, y;
    } cases[] = {
        // 11 x 12 pixels decoded, enlarged in place: x = 3.2 + 10.5 c / 100.
        {{3.2, 4.7, 10.5, 10.5},
         100,
         100,
         "setview 3 3 4 13 15 11 12\nbgra x12",
         {640, 21, 200, 199},
         {940, 21, 200, 149}},
        // At the frame's size: one pixel each.
        {{10, 20, 40, 30},
         40,
         30,
         "setview 3 10 20 49 49 40 30\nbgra x30",
         {10, 1, 1, 199},
         {20, 1, 1, 149}},
        // Larger than the frame: decoded at the frame's size by the library, not enlarged.
        {{0, 0, 200, 150},
         50,
         40,
         "setview 3 0 0 199 149 50 40\nbgra x40",
         {0, 200, 50, 199},
         {0, 150, 40, 149}},
        // Past the last row: 8 rows decoded for 10, each frame row further down than its
        // decoded row, so the block is enlarged from a copy.
        {{0, 142.5, 4, 15},
         4,
         10,
         "setview 3 0 142 3 149 4 8\nbgra x8",
         {0, 1, 1, 199},
         {285, 3, 2, 149}},
    };
    LoadResult r = test_load(ecw_file("region.ecw", 200, 150, 3));
    ASSERT_EQ(r.status, 0);
    library_trace();
    for (const Case& c : cases) {
        // The frame with a border that must stay untouched.
        int pitch = c.fw + 3;
        std::vector<uint32_t> frame(size_t(pitch) * size_t(c.fh + 2), 0xDEADBEEF);
        ecw_read_region(r.page, c.region, c.fw, c.fh, frame.data() + pitch + 1, pitch);
        EXPECT_EQ(g_status, 0);
        EXPECT_EQ(library_trace(), c.setview + "\n");
        for (int row = 0; row < c.fh + 2; row++)
            for (int col = 0; col < pitch; col++) {
                bool inside = row >= 1 && row <= c.fh && col >= 1 && col <= c.fw;
                uint32_t expected =
                    inside ? colour_at(c.x.at(col - 1), c.y.at(row - 1)) : 0xDEADBEEF;
                ASSERT_EQ(frame[size_t(row) * pitch + col], expected)
                    << c.setview << " at " << col - 1 << "," << row - 1;
            }
    }
}

TEST_F(Ecw, FailedRegionReadsCloseTheViewAndTheNextOneOpensItAgain) {
    struct Case {
        std::string directives, failure, retry;
    } cases[] = {
        {"fail setview 2", "setview 3 0 0 9 9 10 10 failed\nclose 1\n",
         "open\ninfo\nsetview 3 0 0 9 9 10 10\nbgra x10\n"},
        {"fail bgra 3", "setview 3 0 0 9 9 10 10\nbgra x2\nbgra failed\nclose 1\n",
         "open\ninfo\nsetview 3 0 0 9 9 10 10\nbgra x10\n"},
        {"fail bgra 1\nfail open 2", "setview 3 0 0 9 9 10 10\nbgra failed\nclose 1\n",
         "open failed\n"},
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
        obj_delete(CLS_IMAGE, r.page->id);
    }
}

TEST_F(Ecw, NonsenseRegionsStayInsideTheImageAndTheFrame) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), huge = 1e300;
    const EcwRegion regions[] = {{nan, nan, nan, nan},  {-huge, -huge, huge, huge},
                                 {huge, huge, 5, 5},    {-5, -5, -10, -10},
                                 {59.9, 39.9, 1e-9, 0}, {0, 0, 60, 40}};
    LoadResult r = test_load(ecw_file("odd.ecw", 60, 40, 1));
    ASSERT_EQ(r.status, 0);
    for (const EcwRegion& region : regions)
        for (int size : {0, 1, 7}) {
            int pitch = size + 2;
            std::vector<uint32_t> frame(size_t(pitch) * size_t(pitch), 0xDEADBEEF);
            ecw_read_region(r.page, region, size, size, frame.data() + pitch + 1, pitch);
            EXPECT_EQ(g_status, 0);
            for (int i = 0; i < pitch * pitch; i++) {
                bool border =
                    i / pitch == 0 || i / pitch > size || i % pitch == 0 || i % pitch > size;
                ASSERT_TRUE(!border || frame[size_t(i)] == 0xDEADBEEF) << region.x << " " << size;
            }
        }
    EXPECT_EQ(library_trace().find("refused"), std::string::npos);
}

// The decode tool, a process of its own, with the library named by the variable.
TEST_F(Ecw, WithoutTheLibraryOrOneOfItsFunctionsTheLoadFailsWithALogLine) {
    std::string file = ecw_file("tool.ecw", 60, 40, 3);
    struct Case {
        std::string library, output;
        int code;
    } cases[] = {
        {test_temp_dir() + "/missing/libNCSEcw.so", "", 7},
        {DORVANE_ECW_PARTIAL, "", 7},
        {DORVANE_ECW_DOUBLE, "page 0: 60x40 planes 3 bits 0 samples 3 format \"ECW\"\n", 0},
    };
    for (const Case& c : cases) {
        std::string out = test_temp_dir() + "/tool-out.txt",
                    err = test_temp_dir() + "/tool-err.txt";
        std::string cmd = "DORVANE_ECW_LIBRARY='" + c.library + "' " DORVANE_DECODE_TOOL " '" +
                          file + "' > '" + out + "' 2> '" + err + "'";
        int rc = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, c.code) << c.library;
        std::string expected_log = "ECW : bibliotheque de decompression introuvable (" + c.library +
                                   ")\nErreur chargement / Loading error \n'" + file +
                                   "' : " + status_text_of(7) + "\n";
        EXPECT_EQ(test_read_file(err), c.code ? expected_log : "") << c.library;
        EXPECT_EQ(test_read_file(out), c.code ? std::string(status_text_of(7)) + "\n" : c.output);
    }
}

// The whole program on the headless layer, fitted, zoomed about the window's centre and
// dragged: every window pixel must show the raster pixel under its top-left corner, computed
// here from the view alone. A 61 x 41 page in a 200 x 150 window is centred at 1:1 with raster
// point (30, 20) on window point (100, 75), and zooming keeps that point in place.
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
        {3, "KP_Add KP_Add KP_Add", 2 * root2, 0, 0},
        {3, "KP_Add KP_Add KP_Add KP_Add drag:100,75,90,70", 4, 10, 5},
    };
    for (const Case& c : cases) {
        std::string file = ecw_file("snap" + std::to_string(c.bands) + ".ecw", 61, 41, c.bands);
        std::string out = test_temp_dir() + "/shot.ppm";
        std::string cmd = tool + " --size 200x150 --keys '" + c.keys + "' --out '" + out + "' '" +
                          file + "' > '" + out + ".title'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(test_read_file(out + ".title"),
                  file + " - 61 x 41 pixels - " + std::to_string(c.bands) + " x 8 bits - ECW\n");
        Rgb shot;
        ASSERT_TRUE(read_pam(out, &shot));
        ASSERT_EQ(shot.width * shot.height, 200 * 150);
        int differ = 0;
        for (int v = 0; v < 150; v++)
            for (int u = 0; u < 200; u++) {
                double x = 30 + (u + c.dx - 100) / c.scale, y = 20 + (v + c.dy - 75) / c.scale;
                uint32_t expected = k_white;
                if (x >= 0 && x < 61 && y >= 0 && y < 41) {
                    uint32_t raster = colour_at(int(x), int(y));
                    expected =
                        c.bands == 3 ? raster : rgb(raster >> 16, raster >> 16, raster >> 16);
                }
                const uint8_t* p = &shot.pixels[size_t(v * 200 + u) * 3];
                differ += rgb(p[0], p[1], p[2]) != expected;
            }
        EXPECT_EQ(differ, 0) << c.bands << " bands, " << c.keys;
    }
}

} // namespace
