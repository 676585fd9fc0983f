// Buffered reader: windows, files past 2 GiB, every decoder through small windows, seeks and
// ranges, open-file slots and line reading. The bit readers (file and memory), the stuffed-bit
// read and the stream number helpers are called by no decoder and have no test here.
#include "bmp_builder.h"
#include "core/reader.h"
#include "core/store.h"
#include "support/support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

class Reader : public ::testing::Test {
  protected:
    void SetUp() override { test_reset_core(); }

    // A file entry for a file of the given bytes.
    int entry_for(const std::string& name, const std::string& bytes) {
        std::string path = test_write_file(name, bytes);
        int list = 0, id = 0;
        create_file_entry(path.c_str(), &list, &id);
        return id;
    }
};

std::string counting_bytes(int n) {
    std::string s(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; i++) s[i] = static_cast<char>(i * 31 + i / 256);
    return s;
}

// A file larger than 2 GiB (sparse, so cheap to make): its size, its bytes far out, and the
// decoders reading through it.
TEST_F(Reader, FilesPastTwoGigabytes) {
    const long long far = 0x90000000LL;
    std::string jpeg = test_read_file(test_data_dir() + "/jpeg/jpeg-decoder-jpg-gray.jpg");
    int id = entry_for("padded.jpg", jpeg);
    std::string padded = test_temp_dir() + "/padded.jpg";
    ASSERT_EQ(truncate(padded.c_str(), far + 5), 0);
    ASSERT_EQ(rd_open(id, 4096, true), 0);
    EXPECT_EQ(rd_size(), far + 5);
    rd_seek(far, 0);
    EXPECT_EQ(rd_u32le(), 0u);
    EXPECT_EQ(g_status, 0);
    LoadResult plain = test_load(test_data_dir() + "/jpeg/jpeg-decoder-jpg-gray.jpg");
    Rgb want = page_rgb(plain.page);
    LoadResult big = test_load(padded);
    ASSERT_EQ(big.status, 0);
    EXPECT_EQ(page_rgb(big.page).pixels, want.pixels);

    // A bitmap whose pixels begin past 2 GiB.
    BmpFile f;
    for (uint32_t i = 0; i < 256; i++) f.palette.push_back(i * 0x010101u);
    f.data = {1, 2, 3, 4, 5, 6, 7, 8};
    std::string compact = bmp_build(f);
    std::string header = compact.substr(0, 54 + 1024);
    bmp_put32(&header, 10, static_cast<uint32_t>(far));
    std::string path = test_write_file("far.bmp", header);
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(far);
        out.write(reinterpret_cast<const char*>(f.data.data()), 8);
    }
    LoadResult near = test_load_bytes("near.bmp", compact);
    want = page_rgb(near.page);
    LoadResult bmp = test_load(path);
    ASSERT_EQ(bmp.status, 0);
    EXPECT_EQ(page_rgb(bmp.page).pixels, want.pixels);
}

// A window of the whole file is refused as out of memory for a file too large to hold.
TEST_F(Reader, WholeFileWindowOfAHugeFileIsRefused) {
    int id = entry_for("huge.bin", "x");
    ASSERT_EQ(truncate((test_temp_dir() + "/huge.bin").c_str(), 300LL << 20), 0);
    EXPECT_EQ(rd_open(id, 0, true), 1);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NO_MEMORY);
    EXPECT_EQ(rd_open(id, 1 << 20, true), 0);
}

// Every decoder gives the same pages when its file comes through windows of a kilobyte or
// four (the windows move on in the middle of stuffed bytes, sub-blocks, numbers and rows, and
// the readers that look past a window's end find the bytes it carries beyond it), and
// when its rows go to swap files under a budget of a few rows (decoders and readers that hold
// several rows at once keep them).
TEST_F(Reader, DecodersGiveTheSamePagesThroughSmallWindowsAndBudgets) {
    // Pictures the corpus lists above 4 megapixels are left to bench/memory.sh (one of them
    // decodes to 2.5 GB); the others declare sizes they are refused for.
    std::set<std::string> large;
    std::ifstream manifest(corpus_dir() + "/MANIFEST.tsv");
    for (std::string line; std::getline(manifest, line);) {
        std::vector<std::string> cols;
        std::stringstream fields(line);
        for (std::string col; std::getline(fields, col, '\t');) cols.push_back(col);
        if (cols.size() > 6 && std::atof(cols[5].c_str()) * std::atof(cols[6].c_str()) > 4e6)
            large.insert(corpus_dir() + "/" + cols[0]);
    }
    std::vector<std::string> files;
    for (const std::string& root : {corpus_dir(), test_data_dir()}) {
        if (root.empty()) continue;
        for (const char* folder : {"bmp", "gif", "jpeg", "pnm", "png", "pcx", "sun", "tga", "xpm"})
            for (const std::string& name : test_list_dir(root + "/" + folder)) {
                std::string path = root + "/" + folder + "/" + name;
                if (name.find(".pam") == std::string::npos &&
                    name.find(".md") == std::string::npos && !large.count(path))
                    files.push_back(path);
            }
    }
    ASSERT_GT(files.size(), 100u);
    auto decode = [](const std::string& path, long window, long long budget) {
        rd_set_window_limit(window);
        store_set_budget(budget);
        LoadResult r = test_load(path);
        std::string pages = std::to_string(r.status);
        for (Image* page : r.pages) {
            Rgb rgb = page_rgb(page);
            pages += " " + std::to_string(rgb.width) + "x" + std::to_string(rgb.height) + ":" +
                     std::string(rgb.pixels.begin(), rgb.pixels.end());
        }
        return pages;
    };
    const struct {
        long window;
        long long budget;
    } ways[] = {{1021, 1LL << 40}, {4096, 1LL << 40}, {0, 20000}};
    for (const std::string& path : files) {
        std::string whole = decode(path, 0, 1LL << 40);
        for (const auto& way : ways)
            EXPECT_TRUE(decode(path, way.window, way.budget) == whole)
                << path << " through " << way.window << " bytes, budget " << way.budget;
    }
    rd_set_window_limit(0);
    store_set_budget(1LL << 40);
}

TEST_F(Reader, SeekFromEndAndRanges) {
    int id = entry_for("hundred.bin", counting_bytes(100));
    ASSERT_EQ(rd_open(id, 0, true), 0);
    rd_seek(10, 2);
    EXPECT_EQ(rd_tell(), 90);
    uint8_t d[10];
    rd_read_at(d, 90, 10);
    EXPECT_EQ(std::exchange(g_status, 0), ST_FILE); // a range reaching the end is refused
    rd_read_at(d, 89, 10);
    EXPECT_EQ(g_status, 0);
    EXPECT_EQ(d[0], static_cast<uint8_t>(counting_bytes(100)[89]));
    EXPECT_EQ(rd_tell(), 90); // the position did not move
}

TEST_F(Reader, TwentyOneFilesCloseTheLeastRecentlyUsed) {
    int ids[21];
    for (int i = 0; i < 21; i++)
        ids[i] = entry_for("f" + std::to_string(i), std::string(1, char('a' + i)) + "xyz");
    for (int i = 0; i < 20; i++) ASSERT_EQ(rd_open(ids[i], 0, true), 0);
    // Select file 0 again without rewinding after moving: it kept its window.
    rd_open(ids[0], 0, false);
    rd_seek(0, 0);
    EXPECT_EQ(rd_byte(), unsigned('a'));
    ASSERT_EQ(rd_open(ids[20], 0, true), 0); // pushes out file 1, the least recent
    // File 1 is reopened (and re-read) on its next selection; delete it underneath to prove it.
    std::remove((test_temp_dir() + "/f1").c_str());
    EXPECT_EQ(rd_open(ids[1], 0, false), 1);
    // That failed selection pushed out file 2 in turn; file 3 is still open though deleted.
    std::remove((test_temp_dir() + "/f3").c_str());
    EXPECT_EQ(rd_open(ids[3], 0, false), 0);
    rd_seek(0, 0);
    EXPECT_EQ(rd_byte(), unsigned('d'));
    // Deleting the entry closes its slot.
    obj_delete(CLS_FILE_ENTRY, ids[3]);
    rd_byte();
    EXPECT_EQ(g_status, ST_FILE);
}

TEST(Streams, LinesEndAtEitherControlAndCountOnce) {
    std::string path = test_write_file("lines.txt", "a\r\nb\nc");
    FILE* f = fs_open(path.c_str(), "rb");
    char line[16];
    fs_read_line(f, line, sizeof line);
    EXPECT_STREQ(line, "a");
    fs_read_line(f, line, sizeof line);
    EXPECT_STREQ(line, "b");
    fs_read_line(f, line, sizeof line);
    EXPECT_STREQ(line, "c");
    std::fclose(f);
}

} // namespace
