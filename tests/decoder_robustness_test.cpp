// Damaged files: every bundled BMP, PNM, GIF, PNG, JPEG, XPM, PCX, Sun and Targa sample cut short
// at many lengths and with bits flipped. Each load must end with a status the decoders use and
// leave whole pages; run under the sanitizers this also checks that nothing is read or written
// out of bounds.
#include "support/support.h"

#include <random>
#include <set>

namespace {

// Statuses a load may end with: success, memory, file end, unknown format, bad data, bad value.
// The PNG decoder reads whole chunks first: never the file end, never a bad value. JPEG
// files may also end on a Huffman code that no table holds.
const std::set<int> k_allowed = {0, 1, 2, 3, 14, 12}, k_png_allowed = {0, 1, 3, 14},
                    k_jpeg_allowed = {0, 1, 2, 3, 7, 12, 14};

// Loads the bytes and returns the status, checked against the allowed ones; every page that
// was made has its rows, which the viewer may show.
int load_damaged(const std::string& bytes, const std::string& what, const std::set<int>& allowed) {
    LoadResult r = test_load_bytes("damaged.bin", bytes);
    EXPECT_TRUE(allowed.count(r.status)) << what << ": status " << r.status;
    for (Image* page : r.pages) {
        if (!page->full_store) continue;
        for (int y = 0; y < page->height; y += 1 + page->height / 64)
            for (int p = 0; p < page->planes; p++)
                EXPECT_TRUE(image_row_read(page, y, p)) << what << ": row " << y;
    }
    g_status = 0;
    return r.status;
}

// Cuts (unless the format's own test holds every cut to its status) and flip sets of one to
// four bits, half of them in the first 64 bytes: the header bytes steer the decoders. Flips
// start at `keep` (a PNG signature flipped is simply not recognised); the last `tail` bytes
// are kept after every cut and never flipped (a Targa footer keeps the file recognised).
void damage_files(const std::string& dir, const std::vector<std::string>& files, bool cuts,
                  size_t keep, const std::set<int>& allowed, size_t tail = 0) {
    ASSERT_FALSE(files.empty());
    std::mt19937 rng(12345);
    int decoded = 0, refused = 0;
    for (const std::string& name : files) {
        std::string original = test_read_file(dir + "/" + name);
        std::string ending = original.substr(original.size() - std::min(tail, original.size()));
        size_t n = original.size() - ending.size();
        std::vector<size_t> lengths;
        for (size_t i = 0; cuts && i < n && i < 128; i++) lengths.push_back(i);
        for (int k = 1; cuts && k < 48; k++) lengths.push_back(n * static_cast<size_t>(k) / 48);
        for (size_t cut : lengths)
            load_damaged(original.substr(0, cut) + ending, name + " cut at " + std::to_string(cut),
                         allowed);
        for (int k = 0; k < 64 && n > keep; k++) {
            std::string flipped = original;
            int flips = 1 + static_cast<int>(rng() % 4);
            for (int f = 0; f < flips; f++) {
                size_t at = keep + ((rng() % 2) ? rng() % std::min<size_t>(n - keep, 64)
                                                : rng() % (n - keep));
                flipped[at] = static_cast<char>(flipped[at] ^ (1 << (rng() % 8)));
            }
            (load_damaged(flipped, name + " flip set " + std::to_string(k), allowed) ? refused
                                                                                     : decoded)++;
        }
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
}

void damage_all(const std::string& folder, const std::string& suffix, bool cuts, size_t keep,
                const std::set<int>& allowed = k_allowed, size_t tail = 0) {
    std::string dir = test_data_dir() + "/" + folder;
    damage_files(dir, test_list_dir(dir, suffix), cuts, keep, allowed, tail);
}

} // namespace

#define DAMAGED_FOLDER(test, ...)                                                                  \
    TEST(DamagedFiles, test) {                                                                     \
        damage_all(__VA_ARGS__);                                                                   \
    }
DAMAGED_FOLDER(Bmp, "bmp", "", true, 0)
DAMAGED_FOLDER(Pnm, "pnm", "", true, 0)
DAMAGED_FOLDER(Gif, "gif", "", true, 0)
DAMAGED_FOLDER(Jpeg, "jpeg", ".jpg", true, 0, k_jpeg_allowed)
DAMAGED_FOLDER(Xpm, "xpm", "", true, 0, {0, 1, 2, 3, 7, 14})
DAMAGED_FOLDER(Pcx, "pcx", "", true, 0)
DAMAGED_FOLDER(Sun, "sun", "", true, 0)
DAMAGED_FOLDER(Targa, "tga", "", true, 0, k_allowed, 26)
DAMAGED_FOLDER(Png, "png", ".png", false, 8, k_png_allowed)

// TIFF files made by public tools: strips, tiles, separate planes, the predictor, Group 4,
// orientations and colour conversions.
TEST(DamagedFiles, Tiff) {
    std::string dir = test_made_tiffs();
    if (dir.empty()) GTEST_SKIP() << "libtiff-tools, ImageMagick or Pillow missing";
    damage_files(dir,
                 {"lzw.tif", "lzw-planar.tif", "packbits.tif", "tiles-lzw.tif", "tiles-planar.tif",
                  "g4.tif", "g4-tiles.tif", "g4-o6.tif", "lzw-o5.tif", "tiles-lzw-o7.tif",
                  "cmyk.tif", "ycbcr.tif", "palette4-lzw.tif", "rgb48-lzw.tif", "bilevel-lsb.tif"},
                 true, 0, k_allowed);
}

// Cut short anywhere, a PNG file lacks its IEND (status 14); under four bytes it is not even
// recognised as PNG (status 3), nor are the files whose signature is damaged on purpose.
TEST(DamagedFiles, EveryPngTruncationIsRefused) {
    std::vector<std::string> files = test_list_dir(test_data_dir() + "/png", ".png");
    ASSERT_GE(files.size(), 40u);
    for (const std::string& name : files) {
        std::string whole = test_read_file(test_data_dir() + "/png/" + name);
        bool recognised =
            name.find("-xs") == std::string::npos || name.find("-xs7") != std::string::npos;
        // Every length through the header chunks, then every 23rd.
        for (size_t length = 0; length < whole.size(); length += length < 80 ? 1 : 23) {
            int expected = length < 4 || !recognised ? ST_UNKNOWN_FORMAT : ST_BAD_DATA;
            ASSERT_EQ(test_load_bytes("cut.png", whole.substr(0, length)).status, expected)
                << name << " cut to " << length;
        }
    }
}

// Inputs the fuzzers found. Each page left in the list must have rows as wide as it says.
TEST(DamagedFiles, FuzzerFindings) {
    struct Case {
        const char* file;
        int status;
    } cases[] = {
        {"gif-page-grows-past-bound.gif", 14},       // a later image asks for 60652 x 60652
        {"bmp-rle-tall-narrow.bmp", 14},             // 2 x 4587522 run-length image in 88 bytes
        {"tiff-planes-past-a-refused-strip.tif", 3}, // tiles of 4 planes, the first refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        LoadResult r = test_load(test_data_dir() + "/regressions/" + c.file);
        EXPECT_EQ(r.status, c.status);
        for (Image* page : r.pages) {
            if (!page->full_store) continue;
            EXPECT_GE(page->full_store->row_size, page->width * page->planes);
            EXPECT_EQ(page->full_store->rows, page->height);
        }
    }
}
