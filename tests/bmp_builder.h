// Writes BMP files for the tests: the file and information headers, bit-field masks, palette
// and pixel data, each field open to change.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct BmpFile {
    int32_t width = 4;
    int32_t height = 2;
    int16_t planes = 1;
    int16_t bits = 8;
    uint32_t compression = 0;
    uint32_t header_size = 40;     // longer headers are written out zeroed past 40 bytes
    uint32_t colour_space = 0;     // colour-space type of V4 and V5 headers
    int64_t declared_size = -1;    // -1: the real size
    int64_t data_offset = -1;      // -1: right after header, masks and palette
    std::vector<uint32_t> masks;   // bit fields
    std::vector<uint32_t> palette; // 0x00RRGGBB
    std::vector<uint8_t> data;
    int32_t x_ppm = 2835, y_ppm = 1417;
};

inline void bmp_put32(std::string* s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) (*s)[at + i] = static_cast<char>(v >> (8 * i));
}
inline void bmp_put16(std::string* s, size_t at, uint16_t v) {
    (*s)[at] = static_cast<char>(v);
    (*s)[at + 1] = static_cast<char>(v >> 8);
}

inline std::string bmp_build(const BmpFile& f) {
    // Masks follow the 40-byte header, and sit at the same place inside the longer ones.
    size_t header_end = 14 + (f.header_size > 40 && f.header_size < 256 ? f.header_size : 40);
    std::string s(54, '\0');
    s[0] = 'B', s[1] = 'M';
    bmp_put32(&s, 14, f.header_size);
    bmp_put32(&s, 18, static_cast<uint32_t>(f.width));
    bmp_put32(&s, 22, static_cast<uint32_t>(f.height));
    bmp_put16(&s, 26, static_cast<uint16_t>(f.planes));
    bmp_put16(&s, 28, static_cast<uint16_t>(f.bits));
    bmp_put32(&s, 30, f.compression);
    bmp_put32(&s, 38, static_cast<uint32_t>(f.x_ppm));
    bmp_put32(&s, 42, static_cast<uint32_t>(f.y_ppm));
    for (uint32_t m : f.masks) s.append(4, '\0'), bmp_put32(&s, s.size() - 4, m);
    if (s.size() < header_end) s.resize(header_end, '\0');
    if (header_end >= 74) bmp_put32(&s, 70, f.colour_space);
    for (uint32_t c : f.palette) s.append(4, '\0'), bmp_put32(&s, s.size() - 4, c);
    size_t offset = f.data_offset >= 0 ? static_cast<size_t>(f.data_offset) : s.size();
    if (s.size() < offset) s.resize(offset, '\0');
    bmp_put32(&s, 10, static_cast<uint32_t>(offset));
    s.resize(offset);
    s.append(f.data.begin(), f.data.end());
    bmp_put32(&s, 2,
              static_cast<uint32_t>(f.declared_size >= 0 ? f.declared_size
                                                         : static_cast<int64_t>(s.size())));
    return s;
}
