// End-to-end harness for the application: a fresh "executable directory" with its placeholder
// pictures, image files written by the tests, and the program started on the headless layer.
#pragma once
#include "platform/headless/headless_app.h"
#include "platform/headless/headless_window.h"
#include "shell/messages.h"
#include "support/support.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

inline uint32_t rgb(int r, int g, int b) {
    return uint32_t(r & 255) << 16 | uint32_t(g & 255) << 8 | uint32_t(b & 255);
}

constexpr uint32_t k_white = 0xFFFFFF;
constexpr uint32_t k_error_colour = 0xC00000;   // erreur.png
constexpr uint32_t k_unknown_colour = 0x0000C0; // inconnu.png

using PixelColour = std::function<uint32_t(int x, int y)>;

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string read_text(const std::string& path) {
    return test_read_file(path);
}

inline void make_dir(const std::string& path) {
    mkdir(path.c_str(), 0755);
}

// Binary PPM (P6).
inline void write_ppm(const std::string& path, int w, int h, const PixelColour& colour) {
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t c = colour(x, y);
            s += char(c >> 16);
            s += char(c >> 8);
            s += char(c);
        }
    write_bytes(path, s);
}

inline void write_solid_ppm(const std::string& path, int w, int h, uint32_t c) {
    write_ppm(path, w, h, [c](int, int) { return c; });
}

// 24-bit bottom-up BMP.
inline void write_bmp(const std::string& path, int w, int h, uint32_t c) {
    int row = (w * 3 + 3) / 4 * 4;
    auto u32 = [](std::string& s, uint32_t v) {
        for (int i = 0; i < 4; i++) s += char(v >> (8 * i));
    };
    auto u16 = [](std::string& s, uint32_t v) {
        s += char(v);
        s += char(v >> 8);
    };
    std::string s = "BM";
    u32(s, uint32_t(54 + row * h));
    u32(s, 0);
    u32(s, 54);
    u32(s, 40);
    u32(s, uint32_t(w));
    u32(s, uint32_t(h));
    u16(s, 1);
    u16(s, 24);
    u32(s, 0);
    u32(s, uint32_t(row * h));
    u32(s, 2835);
    u32(s, 2835);
    u32(s, 0);
    u32(s, 0);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            s += char(c);
            s += char(c >> 8);
            s += char(c >> 16);
        }
        s.append(size_t(row - w * 3), '\0');
    }
    write_bytes(path, s);
}

struct GifFrame {
    int colour_index; // 0..3 into the four-colour table
    int delay;        // hundredths; -1 writes no graphic control extension
};

// A GIF of solid frames over a four-colour table. loop: -1 no loop extension, 0 endless, n.
// The LZW stream sends a clear code after every two pixels, so codes stay three bits wide.
inline void write_gif(const std::string& path, int w, int h, const uint32_t colours[4],
                      const std::vector<GifFrame>& frames, int loop) {
    std::string s = "GIF89a";
    auto u16 = [&](int v) {
        s += char(v & 255);
        s += char((v >> 8) & 255);
    };
    u16(w);
    u16(h);
    s += char(0x81); // global table of 4 entries
    s += char(0);
    s += char(0);
    for (int i = 0; i < 4; i++) {
        s += char(colours[i] >> 16);
        s += char(colours[i] >> 8);
        s += char(colours[i]);
    }
    if (loop >= 0) {
        s += "\x21\xFF\x0BNETSCAPE2.0\x03\x01";
        u16(loop);
        s += char(0);
    }
    for (const GifFrame& f : frames) {
        if (f.delay >= 0) {
            s += "\x21\xF9\x04";
            s += char(0x04); // disposal 1: keep
            u16(f.delay);
            s += char(0);
            s += char(0);
        }
        s += char(0x2C);
        u16(0);
        u16(0);
        u16(w);
        u16(h);
        s += char(0);
        s += char(2); // minimum code size
        std::string data;
        uint32_t bits = 0;
        int count = 0;
        auto put = [&](int code) {
            bits |= uint32_t(code) << count;
            count += 3;
            while (count >= 8) {
                data += char(bits & 255);
                bits >>= 8;
                count -= 8;
            }
        };
        int pixels = w * h;
        for (int i = 0; i < pixels; i++) {
            if (i % 2 == 0) put(4);
            put(f.colour_index);
        }
        put(5);
        if (count > 0) data += char(bits & 255);
        for (size_t i = 0; i < data.size(); i += 255) {
            size_t n = std::min<size_t>(255, data.size() - i);
            s += char(n);
            s += data.substr(i, n);
        }
        s += char(0);
    }
    s += char(0x3B);
    write_bytes(path, s);
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

    bool start(const std::string& command_line) {
        headless_app_reset();
        headless_app_set_executable_dir(bin);
        headless_app_set_work_area(width, height);
        bool running = headless_app_start(command_line.c_str());
        headless_run_until_idle();
        return running;
    }

    void key(int vk, int modifiers = MOD_NONE) {
        headless_key(vk, modifiers);
        headless_run_until_idle();
    }

    std::string title() { return headless_title(); }
    // Space (next file) must show the PPM file of that size.
    void expect_next_shows(const std::string& path, int w, int h);
    uint32_t pixel(int x, int y) { return headless_pixel(headless_document_window(), x, y); }
    std::string log() { return read_text(bin + "/output/zz_DORV.log"); }

    // Number of document pixels with the colour.
    long count_colour(uint32_t c) {
        long n = 0;
        for (uint32_t p : headless_surface(headless_document_window())) n += p == c;
        return n;
    }
    long unpainted() { return count_colour(k_headless_unpainted); }
};

inline std::string ppm_title(const std::string& path, int w, int h) {
    return path + " - " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels - 1 x 24 bits - PPM (rawbits)";
}

inline void ShellTest::expect_next_shows(const std::string& path, int w, int h) {
    key(VKEY_SPACE);
    EXPECT_EQ(title(), ppm_title(path, w, h));
}
