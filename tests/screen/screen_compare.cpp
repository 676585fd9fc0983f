// screen-compare: reads X window dumps (xwd) for the on-screen tests.
//   screen-compare match DUMP X Y W H EXPECTED.ppm [SHOT.ppm] [DIFF.ppm]
//       compares the W x H area of the dump at (X, Y) with the top-left W x H of the picture,
//       pixel for pixel; exit 0 when equal, 1 when not (the area and a difference map are
//       written when asked).
#include "tests/support/pnm_files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB
};

bool read_all(const std::string& name, std::vector<unsigned char>* out) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

uint32_t be32(const std::vector<unsigned char>& d, size_t at) {
    return uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 | d[at + 3];
}

int shift_of(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        s++;
    }
    return s;
}

// A ZPixmap dump of 24 or 32 bits per pixel, as xwd writes a true-colour screen.
bool read_xwd(const std::string& name, Picture* out) {
    std::vector<unsigned char> d;
    if (!read_all(name, &d) || d.size() < 100) return false;
    uint32_t header_size = be32(d, 0), version = be32(d, 4), format = be32(d, 8);
    uint32_t width = be32(d, 16), height = be32(d, 20), byte_order = be32(d, 28);
    uint32_t bits_per_pixel = be32(d, 44), bytes_per_line = be32(d, 48);
    uint32_t red_mask = be32(d, 56), green_mask = be32(d, 60), blue_mask = be32(d, 64);
    uint32_t colours = be32(d, 76);
    if (version != 7 || format != 2 || (bits_per_pixel != 32 && bits_per_pixel != 24)) return false;
    if (width == 0 || height == 0 || width > 20000 || height > 20000) return false;
    size_t start = size_t(header_size) + size_t(colours) * 12;
    if (bytes_per_line < width * (bits_per_pixel / 8)) return false;
    if (start + size_t(bytes_per_line) * height > d.size()) return false;
    out->width = int(width);
    out->height = int(height);
    out->pixels.resize(size_t(width) * height);
    int rs = shift_of(red_mask), gs = shift_of(green_mask), bs = shift_of(blue_mask);
    int bytes = int(bits_per_pixel / 8);
    for (uint32_t y = 0; y < height; y++) {
        const unsigned char* row = d.data() + start + size_t(y) * bytes_per_line;
        for (uint32_t x = 0; x < width; x++) {
            const unsigned char* p = row + size_t(x) * size_t(bytes);
            uint32_t v = 0;
            for (int i = 0; i < bytes; i++) {
                int at = byte_order == 0 ? i : bytes - 1 - i; // 0: least significant first
                v |= uint32_t(p[at]) << (8 * i);
            }
            uint32_t r = (v & red_mask) >> rs, g = (v & green_mask) >> gs,
                     b = (v & blue_mask) >> bs;
            out->pixels[size_t(y) * width + x] = r << 16 | g << 8 | b;
        }
    }
    return true;
}

bool read_ppm(const std::string& name, Picture* out) {
    Rgb rgb;
    if (!read_pam(name, &rgb) || rgb.channels != 3) return false;
    out->width = rgb.width;
    out->height = rgb.height;
    out->pixels.resize(rgb.pixels.size() / 3);
    for (size_t i = 0; i < out->pixels.size(); i++)
        out->pixels[i] = uint32_t(rgb.pixels[3 * i]) << 16 | uint32_t(rgb.pixels[3 * i + 1]) << 8 |
                         rgb.pixels[3 * i + 2];
    return true;
}

bool write_picture(const std::string& name, const Picture& p) {
    return write_ppm(name, p.width, p.height, [&p](int x, int y) {
        return p.pixels[size_t(y) * size_t(p.width) + size_t(x)];
    });
}

// Pixels outside the dump are black.
Picture crop(const Picture& from, int x0, int y0, int w, int h) {
    Picture p;
    p.width = w;
    p.height = h;
    p.pixels.assign(size_t(w) * size_t(h), 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int sx = x0 + x, sy = y0 + y;
            if (sx >= 0 && sy >= 0 && sx < from.width && sy < from.height)
                p.pixels[size_t(y) * size_t(w) + size_t(x)] =
                    from.pixels[size_t(sy) * size_t(from.width) + size_t(sx)];
        }
    return p;
}

int match(int argc, char** argv) {
    if (argc < 8) return 2;
    Picture dump, expected;
    if (!read_xwd(argv[2], &dump)) {
        std::fprintf(stderr, "screen-compare: cannot read the dump %s\n", argv[2]);
        return 2;
    }
    if (!read_ppm(argv[7], &expected)) {
        std::fprintf(stderr, "screen-compare: cannot read %s\n", argv[7]);
        return 2;
    }
    int w = std::atoi(argv[5]), h = std::atoi(argv[6]);
    if (w < 1 || h < 1 || w > expected.width || h > expected.height) {
        std::fprintf(stderr, "screen-compare: a %dx%d area does not fit in the %dx%d picture\n", w,
                     h, expected.width, expected.height);
        return 2;
    }
    expected = crop(expected, 0, 0, w, h);
    Picture shot = crop(dump, std::atoi(argv[3]), std::atoi(argv[4]), w, h);
    long differ = 0;
    int first_x = -1, first_y = -1;
    Picture diff = shot;
    for (size_t i = 0; i < shot.pixels.size(); i++) {
        bool same = shot.pixels[i] == expected.pixels[i];
        diff.pixels[i] = same ? (shot.pixels[i] >> 2 & 0x3F3F3F) : 0xFF00FF;
        if (!same && differ++ == 0) {
            first_x = int(i % size_t(shot.width));
            first_y = int(i / size_t(shot.width));
        }
    }
    if (argc > 8) write_picture(argv[8], shot);
    if (argc > 9 && differ) write_picture(argv[9], diff);
    if (!differ) return 0;
    size_t first = size_t(first_y) * size_t(shot.width) + size_t(first_x);
    std::printf("%ld of %zu pixels differ; first at %d,%d: screen %06X, expected %06X\n", differ,
                shot.pixels.size(), first_x, first_y, unsigned(shot.pixels[first]),
                unsigned(expected.pixels[first]));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    int result = 2;
    if (command == "match") result = match(argc, argv);
    if (result == 2 && command != "match")
        std::fprintf(stderr, "usage: screen-compare match ...\n");
    return result;
}
