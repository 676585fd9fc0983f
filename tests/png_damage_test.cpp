// Damaged PngSuite files (the bundled subset): every truncation and many bit flips end with a
// status, never a crash or a read out of bounds (run under the sanitizers to see the latter).
#include "support/support.h"

#include <dirent.h>
#include <algorithm>

namespace {

std::vector<std::string> bundled_files() {
    std::vector<std::string> names;
    std::string dir = test_data_dir() + "/png";
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".png") == 0) names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool recognised(const std::string& name) {
    return name.find("-xs") == std::string::npos || name.find("-xs7") != std::string::npos;
}

int load_bytes(const std::string& bytes, Image** page) {
    test_reset_core();
    int list = 0;
    int status = test_load_file(test_write_file("damaged.png", bytes), &list);
    *page = nullptr;
    if (status == 0) {
        std::vector<Image*> pages = test_pages(list);
        if (pages.size() == 1) *page = pages[0];
    }
    return status;
}

// A decoded page must be whole: every row of every plane readable.
void expect_readable(Image* page) {
    ASSERT_NE(page, nullptr);
    ASSERT_GT(page->width, 0);
    ASSERT_GT(page->height, 0);
    Rgb rgb = page_rgb(page);
    EXPECT_EQ(rgb.width, page->width);
}

} // namespace

// Cut short anywhere, a file lacks its IEND (status 14); under four bytes it is not even
// recognised as PNG (status 3).
TEST(PngDamage, EveryTruncationIsRefused) {
    std::vector<std::string> files = bundled_files();
    ASSERT_GE(files.size(), 40u);
    for (const std::string& name : files) {
        std::string whole = test_read_file(test_data_dir() + "/png/" + name);
        // Every length through the header chunks, then every 23rd.
        for (size_t length = 0; length < whole.size(); length += length < 80 ? 1 : 23) {
            Image* page;
            int status = load_bytes(whole.substr(0, length), &page);
            int expected = length < 4 || !recognised(name) ? ST_UNKNOWN_FORMAT : ST_BAD_DATA;
            ASSERT_EQ(status, expected) << name << " cut to " << length;
        }
    }
}

TEST(PngDamage, BitFlipsEndWithAStatus) {
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    int decoded = 0, refused = 0;
    for (const std::string& name : bundled_files()) {
        const std::string whole = test_read_file(test_data_dir() + "/png/" + name);
        for (int trial = 0; trial < 60; trial++) {
            std::string bytes = whole;
            // One to three flipped bits, mostly past the signature.
            int flips = 1 + int(next() % 3);
            for (int f = 0; f < flips; f++) {
                size_t at = 8 + next() % (bytes.size() - 8);
                bytes[at] = char(bytes[at] ^ (1 << (next() % 8)));
            }
            Image* page;
            int status = load_bytes(bytes, &page);
            ASSERT_TRUE(status == 0 || status == ST_NO_MEMORY || status == ST_UNKNOWN_FORMAT ||
                        status == ST_BAD_DATA)
                << name << " trial " << trial << " status " << status;
            if (status == 0) {
                expect_readable(page);
                decoded++;
            } else {
                refused++;
            }
        }
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
}

TEST(PngDamage, ChunkLengthsPastTheEndOfTheFile) {
    std::string whole = test_read_file(test_data_dir() + "/png/pngsuite-basn2c08.png");
    // Length field of IHDR, then of the first chunk after it, set to huge values.
    for (size_t at : {size_t(8), size_t(33)}) {
        for (uint32_t length : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000u}) {
            std::string bytes = whole;
            for (int i = 0; i < 4; i++) bytes[at + i] = char(length >> (24 - 8 * i));
            Image* page;
            EXPECT_EQ(load_bytes(bytes, &page), ST_BAD_DATA) << at << " " << length;
        }
    }
}
