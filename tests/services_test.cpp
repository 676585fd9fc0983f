// Configuration value and background colour, log entries, path kinds.
#include "core/services.h"
#include "support/support.h"

#include <cstring>

namespace {

// The background colour the configuration text gives, as "r g b".
std::string colour_for(const std::string& config) {
    std::string path = test_write_file("dorvane.cfg", config);
    config_set_path(path.c_str());
    uint8_t r, g, b;
    read_background_colour(&r, &g, &b);
    config_set_path("dorvane.cfg");
    return std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b);
}

TEST(Config, BackgroundColourLines) {
    const char* const cases[][2] = {
        {"BACK_COLOR_RGB 0 0 64\n", "0 0 64"},
        {"BACK_COLOR_RGB=0 0 64\n", "255 255 255"},
        {"BACK_COLOR_RGB 300 0 0", "44 0 0"},
        {"BACK_COLOR_RGB 10\n", "10 255 255"},
        {"BACK_COLOR_RGBX 0 0 0\n", "255 255 255"},
        {"# colours\r\nOTHER 1\r\nBACK_COLOR_RGB 1 2 3\r\n", "1 2 3"},
        {"OTHER 1\nBACK_COLOR_RGB 7 8 9", "7 8 9"}, // last line without a line end
        {"", "255 255 255"},
    };
    for (const auto& c : cases) EXPECT_EQ(colour_for(c[0]), c[1]) << c[0];
    config_set_path((test_temp_dir() + "/missing.cfg").c_str());
    EXPECT_EQ(read_config_value("BACK_COLOR_RGB"), nullptr);
    config_set_path("dorvane.cfg");
}

TEST(Config, ValueStartsRightAfterTheKey) {
    std::string path = test_write_file("k.cfg", "KEYX rest of line\nKEY value\n");
    config_set_path(path.c_str());
    EXPECT_STREQ(read_config_value("KEY"), "X rest of line");
    config_set_path("dorvane.cfg");
}

TEST(Log, EntriesAreTwoLinesAndAppend) {
    std::string path = test_temp_dir() + "/log-test.log";
    std::remove(path.c_str());
    log_set_path(path.c_str());
    log_line("first");
    log_line("second\nline");
    std::string text = test_read_file(path);
    // rule + asctime (24 characters and a newline) + text + newline
    ASSERT_GT(text.size(), 60u);
    EXPECT_EQ(text.substr(0, 31), std::string(31, '-'));
    EXPECT_EQ(text[31 + 24], '\n');
    EXPECT_EQ(text.substr(31 + 25, 6), "first\n");
    EXPECT_NE(text.find("second\nline\n"), std::string::npos);
    log_set_path("");
}

TEST(Paths, KindsSizesAndSeparators) {
    const struct {
        std::string path;
        int kind;
    } cases[] = {{test_write_file("sized.bin", std::string(1234, 'x')), 6},
                 {test_temp_dir(), 1},
                 {test_temp_dir() + "/none", 255},
                 {"/dev/null", 254}};
    for (const auto& c : cases) {
        char buffer[1024];
        std::snprintf(buffer, sizeof buffer, "%s", c.path.c_str());
        int kind = 0;
        int64_t size = 0;
        file_kind(buffer, &kind, &size);
        EXPECT_EQ(kind, c.kind) << c.path;
        if (c.kind == 6) {
            EXPECT_EQ(size, 1234);
        }
    }
    char text[] = "A\\B/c";
    normalise_path(text);
    EXPECT_STREQ(text, "A/B/c"); // case is kept where the file system tells cases apart
    char key[16];
    path_sort_key("Dir\\B.PNG", key, sizeof key);
    EXPECT_STREQ(key, "dir/b.png");
}

} // namespace
