// Writes GIF files for the tests: an LZW encoder and the block structure, with control over
// sub-block sizes so codes can be made to straddle sub-block boundaries.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<uint8_t> pixels;  // width * height global table indices, display row order
    std::vector<int> block_sizes; // sizes of data sub-blocks, repeated; empty: 255
    bool has_control = false;
    int disposal = 0;
    bool transparent = false;
    int transparent_index = 0;
    int delay = 0;
    bool omit_terminator = false;     // image data runs straight into the next block
    std::vector<uint8_t> local_table; // RGB triples of a local colour table; empty: none
};

// LZW codes for indices, least significant bit first, clear code first and end code last.
inline std::vector<uint8_t> gif_lzw_encode(const std::vector<uint8_t>& indices, int m) {
    std::vector<uint8_t> out;
    uint32_t bits = 0;
    int nbits = 0;
    int clear = 1 << m, end = clear + 1, size = m + 1, next = end + 1;
    auto emit = [&](int code) {
        bits |= static_cast<uint32_t>(code) << nbits;
        nbits += size;
        while (nbits >= 8) out.push_back(static_cast<uint8_t>(bits)), bits >>= 8, nbits -= 8;
    };
    std::map<std::pair<int, int>, int> table;
    emit(clear);
    int prefix = -1;
    for (uint8_t c : indices) {
        if (prefix < 0) {
            prefix = c;
            continue;
        }
        auto it = table.find({prefix, c});
        if (it != table.end()) {
            prefix = it->second;
            continue;
        }
        emit(prefix);
        if (next < 4096) {
            table[{prefix, c}] = next++;
            if (next - 1 == (1 << size) && size < 12) size++;
        } else {
            emit(clear);
            table.clear();
            size = m + 1, next = end + 1;
        }
        prefix = c;
    }
    if (prefix >= 0) {
        emit(prefix);
        // the decoder adds an entry for this code too, which may widen the end code
        if (next < 4096 && next++ == (1 << size) && size < 12) size++;
    }
    emit(end);
    if (nbits > 0) out.push_back(static_cast<uint8_t>(bits));
    return out;
}

struct GifFile {
    std::string version = "89a";
    int width = 0, height = 0;
    std::vector<uint8_t> global_table; // RGB triples (a power of two of them)
    int loop_count = -1;               // -1: no NETSCAPE2.0 extension
    bool comment = false, plain_text = false;
    std::vector<GifFrame> frames;
    bool trailer = true;
};

inline void gif_put16(std::string* s, int v) {
    s->push_back(static_cast<char>(v & 255));
    s->push_back(static_cast<char>((v >> 8) & 255));
}

inline int gif_table_bits(size_t triples) {
    int bits = 1;
    while ((1u << bits) < triples) bits++;
    return bits;
}

inline std::vector<uint8_t> gif_interlace(const std::vector<uint8_t>& pixels, int width,
                                          int height) {
    std::vector<uint8_t> out;
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++)
        for (int y = start[pass]; y < height; y += step[pass])
            out.insert(out.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
    return out;
}

inline std::string gif_build(const GifFile& g) {
    std::string s = "GIF" + g.version;
    gif_put16(&s, g.width);
    gif_put16(&s, g.height);
    int gbits = g.global_table.empty() ? 1 : gif_table_bits(g.global_table.size() / 3);
    s.push_back(static_cast<char>((g.global_table.empty() ? 0 : 0x80) | (gbits - 1)));
    s.push_back(0);
    s.push_back(0);
    std::vector<uint8_t> gt = g.global_table;
    gt.resize(g.global_table.empty() ? 0 : 3u << gbits, 0);
    s.append(gt.begin(), gt.end());
    if (g.loop_count >= 0) {
        s += "\x21\xFF\x0BNETSCAPE2.0";
        s += std::string("\x03\x01", 2);
        gif_put16(&s, g.loop_count);
        s.push_back(0);
    }
    if (g.comment)
        s += std::string("\x21\xFE\x05"
                         "hello"
                         "\x03"
                         "abc"
                         "\x00",
                         13);
    if (g.plain_text)
        s += std::string("\x21\x01\x0C", 3) + std::string(12, '\x01') +
             std::string("\x04"
                         "text"
                         "\x00",
                         6);
    for (const GifFrame& f : g.frames) {
        if (f.has_control) {
            s += "\x21\xF9\x04";
            s.push_back(static_cast<char>((f.disposal << 2) | (f.transparent ? 1 : 0)));
            gif_put16(&s, f.delay);
            s.push_back(static_cast<char>(f.transparent_index));
            s.push_back(0);
        }
        s.push_back(0x2C);
        gif_put16(&s, f.left);
        gif_put16(&s, f.top);
        gif_put16(&s, f.width);
        gif_put16(&s, f.height);
        int lbits = f.local_table.empty() ? 0 : gif_table_bits(f.local_table.size() / 3);
        s.push_back(
            static_cast<char>((f.interlaced ? 0x40 : 0) | (lbits ? 0x80 | (lbits - 1) : 0)));
        std::vector<uint8_t> lt = f.local_table;
        lt.resize(lbits ? 3u << lbits : 0, 0);
        s.append(lt.begin(), lt.end());
        int m = std::max(2, lbits ? lbits : gbits); // LZW minimum code size
        s.push_back(static_cast<char>(m));
        std::vector<uint8_t> order =
            f.interlaced ? gif_interlace(f.pixels, f.width, f.height) : f.pixels;
        std::vector<uint8_t> data = gif_lzw_encode(order, m);
        size_t at = 0, k = 0;
        while (at < data.size()) {
            size_t n = f.block_sizes.empty()
                           ? 255
                           : static_cast<size_t>(f.block_sizes[k++ % f.block_sizes.size()]);
            n = std::min(n, data.size() - at);
            s.push_back(static_cast<char>(n));
            s.append(data.begin() + static_cast<long>(at),
                     data.begin() + static_cast<long>(at + n));
            at += n;
        }
        if (!f.omit_terminator) s.push_back(0);
    }
    if (g.trailer) s.push_back(0x3B);
    return s;
}
