// libFuzzer target for one file format (FUZZ_FORMAT, its folder name under tests/data), built
// once per format: the input goes through detection and the load dispatch with the format's
// signature written over its first bytes, so that the fuzzer spends its time inside the decoder.
#include "fuzz_load.h"

#include <cstring>

namespace {

std::string signature(const uint8_t* data, size_t size) {
    const char* f = FUZZ_FORMAT;
    char second = size > 1 ? char(data[1]) : 0;
    if (!std::strcmp(f, "pcx")) // the version byte is the input's; the encoding keeps its low bit
        return std::string{0x0A, size > 1 ? second : char(5), char(size > 2 ? data[2] & 1 : 1)};
    if (!std::strcmp(f, "pnm")) // the second byte picks one of the six variants
        return {'P', second >= '1' && second <= '6' ? second : char('1' + uint8_t(second) % 6)};
    if (!std::strcmp(f, "tiff")) // both byte orders
        return size > 0 && data[0] == 'M' ? std::string("MM\0*", 4) : std::string("II*");
    const char* const fixed[][2] = {{"bmp", "BM"},
                                    {"gif", "GIF"},
                                    {"jpeg", "\xFF\xD8\xFF"},
                                    {"sun", "\x59\xA6\x6A\x95"},
                                    {"xpm", "/* XPM */"}};
    for (const auto& s : fixed)
        if (!std::strcmp(f, s[0])) return s[1];
    return ""; // png: any bytes; tga: no magic at all
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Targa is taken on the footer signature added after the input (whose last eight bytes are
    // the footer's offsets).
    std::string ending =
        std::strcmp(FUZZ_FORMAT, "tga") ? "" : std::string("TRUEVISION-XFILE.", 18);
    return fuzz_load(data, size, signature(data, size), ending);
}
