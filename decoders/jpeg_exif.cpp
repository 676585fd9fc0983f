// The orientation tag of an Exif segment: a TIFF header, then the first directory, whose
// entries are searched for tag 0x0112. Everything is read within the segment's bytes.
#include "decoders/jpeg.h"

namespace {

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShortType = 3;

struct TiffBytes {
    const uint8_t* data;
    long size;
    bool big_endian;

    bool has(long at, long n) const { return at >= 0 && n <= size && at <= size - n; }
    unsigned u16(long at) const {
        return big_endian ? unsigned(data[at]) << 8 | data[at + 1]
                          : unsigned(data[at + 1]) << 8 | data[at];
    }
    uint32_t u32(long at) const {
        return big_endian ? uint32_t(u16(at)) << 16 | u16(at + 2)
                          : uint32_t(u16(at + 2)) << 16 | u16(at);
    }
};

} // namespace

int jpeg_exif_orientation(const uint8_t* tiff, long size) {
    if (size < 8 || tiff[0] != tiff[1] || (tiff[0] != 'I' && tiff[0] != 'M')) return 1;
    TiffBytes t{tiff, size, tiff[0] == 'M'};
    if (t.u16(2) != 42) return 1;
    uint32_t directory = t.u32(4);
    if (directory > static_cast<uint32_t>(size) || !t.has(directory, 2)) return 1;
    unsigned entries = t.u16(directory);
    for (unsigned i = 0; i < entries; i++) {
        long at = static_cast<long>(directory) + 2 + 12 * static_cast<long>(i);
        if (!t.has(at, 12)) break;
        if (t.u16(at) != kOrientationTag) continue;
        unsigned value = t.u16(at + 8);
        bool usable = t.u16(at + 2) == kShortType && t.u32(at + 4) == 1;
        return usable && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}
