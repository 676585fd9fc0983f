// screen-compare: reads X window dumps (xwd) for the on-screen tests.
//   screen-compare match DUMP X Y W H EXPECTED.ppm [SHOT.ppm] [DIFF.ppm]
//       compares the W x H area of the dump at (X, Y) with the top-left W x H of the picture,
//       pixel for pixel; exit 0 when equal, 1 when not (the area and a difference map are
//       written when asked).
#include "tests/support/pnm_files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Dump {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;     // 0xRRGGBB
    uint32_t at(int x, int y) const { // black outside the dump
        return x >= 0 && y >= 0 && uint32_t(x) < width && uint32_t(y) < height
                   ? pixels[size_t(y) * width + size_t(x)]
                   : 0;
    }
};

int shift_of(uint32_t mask) {
    int s = 0;
    for (; mask && !(mask & 1); mask >>= 1) s++;
    return s;
}

// A ZPixmap dump of 24 or 32 bits per pixel, as xwd writes a true-colour screen.
bool read_xwd(const char* name, Dump* out) {
    std::ifstream in(name, std::ios::binary);
    std::vector<unsigned char> d{std::istreambuf_iterator<char>(in), {}};
    if (d.size() < 100) return false;
    auto be32 = [&d](size_t at) {
        return uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 |
               d[at + 3];
    };
    uint32_t bits = be32(44), stride = be32(48), masks[3] = {be32(56), be32(60), be32(64)};
    out->width = be32(16), out->height = be32(20);
    size_t start = size_t(be32(0)) + size_t(be32(76)) * 12, bytes = bits / 8;
    if (be32(4) != 7 || be32(8) != 2 || (bits != 32 && bits != 24) || out->width == 0 ||
        out->height == 0 || out->width > 20000 || out->height > 20000 ||
        stride < out->width * bytes || start + size_t(stride) * out->height > d.size())
        return false;
    bool lsb_first = be32(28) == 0;
    for (uint32_t y = 0; y < out->height; y++)
        for (uint32_t x = 0; x < out->width; x++) {
            const unsigned char* p = &d[start + size_t(y) * stride + x * bytes];
            uint32_t v = 0, c = 0;
            for (size_t i = 0; i < bytes; i++)
                v |= uint32_t(p[lsb_first ? i : bytes - 1 - i]) << 8 * i;
            for (uint32_t mask : masks) c = c << 8 | (v & mask) >> shift_of(mask);
            out->pixels.push_back(c);
        }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 8 || std::string(argv[1]) != "match") {
        std::fprintf(stderr, "usage: screen-compare match DUMP X Y W H EXPECTED.ppm [SHOT DIFF]\n");
        return 2;
    }
    Dump dump;
    Rgb want;
    int x0 = std::atoi(argv[3]), y0 = std::atoi(argv[4]);
    int w = std::atoi(argv[5]), h = std::atoi(argv[6]);
    if (!read_xwd(argv[2], &dump) || !read_pam(argv[7], &want) || want.channels != 3 || w < 1 ||
        h < 1 || w > want.width || h > want.height) {
        std::fprintf(stderr, "screen-compare: cannot compare %s with a %dx%d area of %s\n", argv[7],
                     w, h, argv[2]);
        return 2;
    }
    auto expected = [&want](int x, int y) {
        const uint8_t* p = &want.pixels[(size_t(y) * size_t(want.width) + size_t(x)) * 3];
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    };
    auto shot = [&](int x, int y) { return dump.at(x0 + x, y0 + y); };
    long differ = 0;
    int fx = 0, fy = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (shot(x, y) != expected(x, y) && differ++ == 0) fx = x, fy = y;
    if (argc > 8) write_ppm(argv[8], w, h, shot);
    if (argc > 9 && differ)
        write_ppm(argv[9], w, h, [&](int x, int y) {
            return shot(x, y) == expected(x, y) ? shot(x, y) >> 2 & 0x3F3F3F : 0xFF00FF;
        });
    if (!differ) return 0;
    std::printf("%ld of %d pixels differ; first at %d,%d: screen %06X, expected %06X\n", differ,
                w * h, fx, fy, unsigned(shot(fx, fy)), unsigned(expected(fx, fy)));
    return 1;
}
