// Damaged files: every bundled BMP, PNM and GIF sample cut short at many lengths and with
// bits flipped. Each load must end with a status the decoders use and leave the core usable;
// run under the sanitizers this also checks that nothing is read or written out of bounds.
#include "support/support.h"

#include <dirent.h>
#include <random>
#include <set>

namespace {

std::vector<std::string> samples(const std::string& folder) {
    std::vector<std::string> out;
    std::string dir = test_data_dir() + "/" + folder;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') out.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    return out;
}

// Statuses a load may end with: success, memory, file end, unknown format, bad data, bad value.
const std::set<int> k_allowed = {0, 1, 2, 3, 14, 12};

void load_damaged(const std::string& bytes, const std::string& what) {
    test_reset_core();
    int list = 0;
    int status = test_load_file(test_write_file("damaged.bin", bytes), &list);
    EXPECT_TRUE(k_allowed.count(status)) << what << ": status " << status;
    // Every page that was made has its rows: the viewer may show them.
    if (list) {
        for (Image* page : test_pages(list)) {
            if (!page->full_store) continue;
            for (int y = 0; y < page->height; y += 1 + page->height / 8)
                ASSERT_TRUE(image_row_read(page, y, 0));
        }
    }
    g_status = 0;
}

void damage_all(const std::string& folder) {
    std::vector<std::string> files = samples(folder);
    ASSERT_FALSE(files.empty());
    std::mt19937 rng(12345);
    for (const std::string& path : files) {
        std::string original = test_read_file(path);
        size_t n = original.size();
        // cut points: every length of the first 128 bytes, then spread over the file
        std::vector<size_t> cuts;
        for (size_t i = 0; i < n && i < 128; i++) cuts.push_back(i);
        for (int k = 1; k < 48; k++) cuts.push_back(n * static_cast<size_t>(k) / 48);
        for (size_t cut : cuts)
            load_damaged(original.substr(0, cut), path + " cut at " + std::to_string(cut));
        for (int k = 0; k < 64; k++) {
            std::string flipped = original;
            int flips = 1 + static_cast<int>(rng() % 4);
            for (int f = 0; f < flips; f++) {
                // the header bytes are hit more often: they steer the decoders
                size_t at = (rng() % 2) ? rng() % std::min<size_t>(n, 64) : rng() % n;
                flipped[at] = static_cast<char>(flipped[at] ^ (1 << (rng() % 8)));
            }
            load_damaged(flipped, path + " flip set " + std::to_string(k));
        }
    }
}

} // namespace

TEST(DamagedFiles, Bmp) {
    damage_all("bmp");
}
TEST(DamagedFiles, Pnm) {
    damage_all("pnm");
}
TEST(DamagedFiles, Gif) {
    damage_all("gif");
}

// Inputs the fuzzers found. Each page left in the list must have rows as wide as it says.
TEST(DamagedFiles, FuzzerFindings) {
    struct Case {
        const char* file;
        int status;
    } cases[] = {
        {"gif-page-grows-past-bound.gif", 1}, // a later image asks for 60652 x 60652
        {"bmp-rle-tall-narrow.bmp", 0},       // 2 x 4587522 run-length image, data cut short
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        test_reset_core();
        int list = 0;
        EXPECT_EQ(test_load_file(test_data_dir() + "/regressions/" + c.file, &list), c.status);
        for (Image* page : test_pages(list)) {
            if (!page->full_store) continue;
            EXPECT_GE(page->full_store->row_size, page->width * page->planes);
            EXPECT_EQ(page->full_store->rows, page->height);
        }
    }
}
