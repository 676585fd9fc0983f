// End-to-end harness for the application: a fresh "executable directory" with its placeholder
// pictures, image files written by the tests, and the program started on the headless layer.
#pragma once
#include "bmp_builder.h"
#include "gif_builder.h"
#include "platform/headless/headless_app.h"
#include "platform/headless/headless_window.h"
#include "shell/messages.h"
#include "support/support.h"

#include <cstdio>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

constexpr uint32_t k_white = 0xFFFFFF;
constexpr uint32_t k_error_colour = 0xC00000;   // erreur.png
constexpr uint32_t k_unknown_colour = 0x0000C0; // inconnu.png

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), std::streamsize(bytes.size()));
}

inline void make_dir(const std::string& path) {
    mkdir(path.c_str(), 0755);
}

inline void write_solid_ppm(const std::string& path, int w, int h, uint32_t c) {
    write_ppm(path, w, h, [c](int, int) { return c; });
}

// 24-bit bottom-up BMP of one colour.
inline void write_bmp(const std::string& path, int w, int h, uint32_t c) {
    BmpFile f;
    f.width = w, f.height = h, f.bits = 24, f.y_ppm = 2835;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++)
            f.data.insert(f.data.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        f.data.resize(f.data.size() + (4 - w * 3 % 4) % 4);
    }
    write_bytes(path, bmp_build(f));
}

struct SolidFrame {
    int colour_index; // 0..3 into the four-colour table
    int delay;        // hundredths; -1 writes no graphic control extension
};

// A GIF of solid frames (disposal 1) over a four-colour table. loop: -1 no loop extension, 0
// endless, n.
inline void write_gif(const std::string& path, int w, int h, const uint32_t colours[4],
                      const std::vector<SolidFrame>& frames, int loop) {
    GifFile g;
    g.width = w, g.height = h, g.loop_count = loop;
    for (int i = 0; i < 4; i++)
        for (int shift : {16, 8, 0}) g.global_table.push_back(uint8_t(colours[i] >> shift));
    for (const SolidFrame& s : frames) {
        GifFrame frame;
        frame.width = w, frame.height = h;
        frame.pixels.assign(size_t(w) * size_t(h), uint8_t(s.colour_index));
        frame.has_control = s.delay >= 0, frame.disposal = 1, frame.delay = s.delay;
        g.frames.push_back(frame);
    }
    write_bytes(path, gif_build(g));
}

// Each test gets its own directory tree: bin/ stands for the executable's directory.
class ShellTest : public ::testing::Test {
  protected:
    std::string root, bin;
    int width = 200, height = 150;

    void SetUp() override {
        // No core reset here: start-up resets the registry itself, after releasing what the
        // previous test's run left.
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = test_temp_dir() + "/" + info->test_suite_name() + "." + info->name();
        std::string cmd = "rm -rf '" + root + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        make_dir(root);
        bin = root + "/bin";
        make_dir(bin);
        write_bmp(bin + "/erreur.png", 8, 6, k_error_colour);
        write_bmp(bin + "/inconnu.png", 6, 4, k_unknown_colour);
    }

    std::string path(const std::string& name) { return root + "/" + name; }
    // A PPM file of one colour under the test's folder, in folders made as needed; returns its
    // path.
    std::string ppm(const std::string& name, int w, int h, uint32_t colour) {
        for (size_t slash = name.find('/'); slash != std::string::npos;
             slash = name.find('/', slash + 1))
            make_dir(path(name.substr(0, slash)));
        write_solid_ppm(path(name), w, h, colour);
        return path(name);
    }

    // Starts the program and lets it settle, or (settle false) lets no time pass, so that
    // animations can be followed step by step.
    bool start(const std::string& command_line, bool settle = true) {
        headless_app_reset();
        headless_app_set_executable_dir(bin);
        headless_app_set_work_area(width, height);
        bool running = headless_app_start(command_line.c_str());
        settle ? headless_run_until_idle() : headless_run_for(0);
        return running;
    }

    void key(int vk, int modifiers = MOD_NONE) {
        headless_key(vk, modifiers);
        headless_run_until_idle();
    }

    // The title, without the place in the file list that ends an image's title (" - [n/m]").
    std::string title() { return split_title(nullptr); }
    // That place, "n/m"; "" when the title has none.
    std::string place() {
        std::string p;
        split_title(&p);
        return p;
    }
    // Space (next file) must show the PPM file of that size.
    void expect_next_shows(const std::string& path, int w, int h);
    uint32_t pixel(int x, int y) { return headless_pixel(headless_document_window(), x, y); }
    std::string log() { return test_read_file(bin + "/output/zz_DORV.log"); }

    // Number of document pixels with the colour.
    long count_colour(uint32_t c) {
        long n = 0;
        for (uint32_t p : headless_surface(headless_document_window())) n += p == c;
        return n;
    }
    long unpainted() { return count_colour(k_headless_unpainted); }

  private:
    std::string split_title(std::string* place) {
        std::smatch m;
        std::string t = headless_title();
        if (!std::regex_match(t, m, std::regex("(.*) - \\[([0-9]+/[0-9]+)\\]"))) return t;
        if (place) *place = m[2];
        return m[1];
    }
};

inline std::string ppm_title(const std::string& path, int w, int h) {
    return path + " - " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels - 1 x 24 bits - PPM (rawbits)";
}

inline void ShellTest::expect_next_shows(const std::string& path, int w, int h) {
    key(VKEY_SPACE);
    EXPECT_EQ(title(), ppm_title(path, w, h));
}
