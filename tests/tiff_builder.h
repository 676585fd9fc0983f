// Hand-made TIFF files: a header, the pixel data, one directory with the given entries (in the
// order given) and the values that do not fit in an entry behind it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TiffEntry {
    int tag;
    int type; // 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL (values are numerator, denominator pairs)
    std::vector<uint32_t> values;
};

struct TiffFile {
    bool big_endian = false;
    std::vector<TiffEntry> entries;
    std::string data; // placed right after the header, at offset 8
    int magic = 42;
};

// An uncompressed one-strip file: width x height, bits per sample and samples per pixel.
inline TiffFile tiff_strip_file(int width, int height, int bits, int samples, int photometric,
                                const std::string& data, int compression = 1) {
    TiffFile f;
    f.data = data;
    f.entries = {{256, 3, {uint32_t(width)}},
                 {257, 3, {uint32_t(height)}},
                 {258, 3, std::vector<uint32_t>(size_t(samples), uint32_t(bits))},
                 {259, 3, {uint32_t(compression)}},
                 {262, 3, {uint32_t(photometric)}},
                 {273, 4, {8}},
                 {277, 3, {uint32_t(samples)}},
                 {278, 3, {uint32_t(height)}},
                 {279, 4, {uint32_t(data.size())}}};
    return f;
}

inline void tiff_set(TiffFile* f, int tag, int type, std::vector<uint32_t> values) {
    for (TiffEntry& e : f->entries)
        if (e.tag == tag) {
            e.type = type;
            e.values = std::move(values);
            return;
        }
    f->entries.push_back({tag, type, std::move(values)});
}

inline std::string tiff_build(const TiffFile& f) {
    std::string out;
    auto put = [&](std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; i++) {
            int shift = f.big_endian ? 8 * (bytes - 1 - i) : 8 * i;
            s += char((v >> shift) & 0xFF);
        }
    };
    out += f.big_endian ? "MM" : "II";
    put(out, uint32_t(f.magic), 2);
    size_t data_end = 8 + f.data.size() + (f.data.size() & 1);
    put(out, uint32_t(data_end), 4);
    out += f.data;
    if (f.data.size() & 1) out += '\0';
    std::string directory, extra;
    size_t extra_at = data_end + 2 + 12 * f.entries.size() + 4;
    put(directory, uint32_t(f.entries.size()), 2);
    for (const TiffEntry& e : f.entries) {
        int size = e.type == 3 ? 2 : e.type == 2 ? 1 : 4;
        std::string values;
        for (uint32_t v : e.values) put(values, v, size);
        uint32_t count = uint32_t(e.type == 5 ? e.values.size() / 2 : e.values.size());
        put(directory, uint32_t(e.tag), 2);
        put(directory, uint32_t(e.type), 2);
        put(directory, count, 4);
        if (values.size() <= 4) {
            values.resize(4, '\0');
            directory += values;
        } else {
            put(directory, uint32_t(extra_at + extra.size()), 4);
            extra += values;
        }
    }
    put(directory, 0, 4);
    return out + directory + extra;
}
