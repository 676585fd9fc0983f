// Inflate on its own: zlib streams made by Python's zlib decode to their inputs, whole and
// streamed, and hand-made streams pin down the edge cases.
#include "decoders/inflate.h"
#include "support/support.h"

#include <cstring>
#include <map>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes_of(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct Result {
    int status;
    Bytes out;
};

// Decodes into a buffer of exactly `capacity` bytes.
Result inflate(const Bytes& stream, size_t capacity) {
    g_status = 0;
    Bytes buffer(capacity);
    size_t n = inflate_zlib(stream.data(), stream.size(), buffer.data(), buffer.size());
    Result r{g_status, Bytes(buffer.begin(), buffer.begin() + std::min(n, capacity))};
    g_status = 0;
    return r;
}

// Bits least significant first, as DEFLATE packs them; Huffman codes most significant first.
struct BitWriter {
    Bytes bytes;
    int used = 8;
    void bits(uint32_t value, int n) {
        for (int i = 0; i < n; i++) {
            if (used == 8) bytes.push_back(0), used = 0;
            const uint32_t bit = i < 32 ? (value >> i) & 1 : 0; // longer runs are zeros
            bytes.back() |= uint8_t(bit << used++);
        }
    }
    void code(uint32_t value, int length) {
        for (int i = length - 1; i >= 0; i--) bits((value >> i) & 1, 1);
    }
    void align() { used = 8; }
    void byte(uint8_t b) { align(), bytes.push_back(b); }
};

// Fixed-code block writer (RFC 1951, 3.2.6).
struct FixedBlock {
    BitWriter& w;
    FixedBlock(BitWriter& writer, bool final) : w(writer) { w.bits(final, 1), w.bits(1, 2); }
    void symbol(int s) {
        if (s < 144)
            w.code(0x30 + s, 8);
        else if (s < 256)
            w.code(0x190 + s - 144, 9);
        else if (s < 280)
            w.code(s - 256, 7);
        else
            w.code(0xC0 + s - 280, 8);
    }
    void literal(uint8_t b) { symbol(b); }
    // A copy: its length symbol (lengths 3 to 10 have no extra bits), then distance code d
    // and its n extra bits.
    void copy(int length_symbol, int d, uint32_t extra = 0, int n = 0) {
        symbol(length_symbol), w.code(uint32_t(d), 5), w.bits(extra, n);
    }
    void end() { symbol(256); }
};

// A zlib header with the given window (CINFO) and flags.
BitWriter zlib_start(int cinfo = 7, int flags = 0x01) {
    BitWriter w;
    w.byte(uint8_t(cinfo << 4 | 8));
    w.byte(uint8_t(flags));
    return w;
}

void stored_block(BitWriter& w, bool final, const Bytes& data, uint16_t nlen) {
    w.bits(final, 1), w.bits(0, 2);
    w.align();
    w.byte(uint8_t(data.size())), w.byte(uint8_t(data.size() >> 8));
    w.byte(uint8_t(nlen)), w.byte(uint8_t(nlen >> 8));
    for (uint8_t b : data) w.byte(b);
}

// A stream of the header bytes and one final fixed block: the literal 'z' after what
// `before` writes.
Bytes fixed_stream(uint8_t cmf, uint8_t flg, void (*before)(FixedBlock&) = nullptr) {
    BitWriter w;
    w.byte(cmf), w.byte(flg);
    FixedBlock b(w, true);
    if (before) before(b);
    b.literal('z');
    b.end();
    return w.bytes;
}

// 300 stored bytes under a 256-byte window (CINFO 0), then a copy of 4 from distance code d.
Bytes copy_in_small_window(int d, uint32_t extra, int n) {
    BitWriter w = zlib_start(0);
    stored_block(w, false, Bytes(300, 'x'), 0);
    FixedBlock b(w, true);
    b.copy(258, d, extra, n);
    b.end();
    return w.bytes;
}

// A stream of one dynamic block: its header with the code length code given as (symbol,
// length) pairs, then what `body` writes, then 64 zero bits so that no fault is taken for the
// end of the input.
Bytes dynamic_stream(int hlit, int hdist, std::map<int, int> code_length_lengths,
                     void (*body)(BitWriter&)) {
    static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    BitWriter w = zlib_start();
    w.bits(1, 1), w.bits(2, 2);
    w.bits(uint32_t(hlit - 257), 5), w.bits(uint32_t(hdist - 1), 5), w.bits(19 - 4, 4);
    for (int i = 0; i < 19; i++) w.bits(uint32_t(code_length_lengths[order[i]]), 3);
    body(w);
    w.bits(0, 64);
    return w.bytes;
}

// Code length code 0 (00), 2 (01), 17 (10), 18 (11); 'A' and end of block get length 2, then
// the distance lengths are a zero run of three.
void three_zero_distance_lengths(BitWriter& w) {
    w.code(3, 2), w.bits(65 - 11, 7);
    w.code(1, 2); // 'A': 2
    w.code(3, 2), w.bits(138 - 11, 7);
    w.code(3, 2), w.bits(52 - 11, 7);
    w.code(1, 2);               // end of block: 2
    w.code(2, 2), w.bits(0, 3); // 17: three zeros
    w.code(0, 2), w.code(1, 2); // 'A', end of block
}

// Hand-made streams pin down the edge cases: what each decodes to (into a buffer of exactly
// that size), or the status it ends with. The input ending inside the next block was found by
// fuzzing: a fixed block running out of input right after an empty stored block. (Stored
// blocks cut short, and an empty one into an empty buffer, are zlib's level-0 streams below;
// block type 3 is the PNG test's.)
TEST(Inflate, HandMadeStreamsDecodeOrEndWithTheirStatus) {
    BitWriter stored = zlib_start();
    FixedBlock fixed(stored, false);
    fixed.literal('>'), fixed.end();
    stored_block(stored, false, bytes_of("hello, "), 0x1234); // NLEN should be ~7
    stored_block(stored, false, Bytes(), 0);
    stored_block(stored, true, bytes_of("world"), 0xFFFA);
    const struct {
        const char* what;
        Bytes stream;
        int status;
        std::string out = "";
        const char* logged = "";
    } cases[] = {
        {"stored blocks start at the next byte after a fixed block and ignore NLEN", stored.bytes,
         0, ">hello, world"},
        {"input ending inside the next block",
         Bytes{0x08, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0x95, 0xFC, 0xCF}, ST_BAD_DATA},
        {"FCHECK is not verified", fixed_stream(0x78, 0x00), 0, "z"},
        {"preset dictionary", fixed_stream(0x78, 0xBB), ST_BAD_DATA},
        {"method 7", fixed_stream(0x77, 0x01), ST_BAD_DATA},
        {"window 2^16", fixed_stream(0x88, 0x01), ST_BAD_DATA},
        {"one byte", Bytes{0x78}, ST_BAD_DATA},
        {"empty", Bytes{}, ST_BAD_DATA},
        {"distance 256 in a 256-byte window", copy_in_small_window(15, 63, 6), 0,
         std::string(304, 'x')},
        {"distance 257 in a 256-byte window", copy_in_small_window(16, 0, 7), ST_BAD_DATA},
        {"length 5 from distance 2 after one byte",
         fixed_stream(0x78, 0x01, [](FixedBlock& b) { b.literal('a'), b.copy(259, 1); }),
         ST_BAD_DATA},
        {"length code 286", fixed_stream(0x78, 0x01, [](FixedBlock& b) { b.symbol(286); }),
         ST_BAD_DATA},
        {"distance code 30",
         fixed_stream(0x78, 0x01, [](FixedBlock& b) { b.literal('a'), b.copy(257, 30); }),
         ST_BAD_DATA},
        // Code length code 1, 2, 16, 18 (00, 01, 10, 11); 'A' 1, end of block and length 3
        // (symbol 257) 2; distance lengths 16 first: three zeros (not the 2 before it), then
        // 1. Data: 'A' 0, end 10, length 3 11 with distance 4 (symbol 3) 0.
        {"distance lengths starting with 16 repeat zero",
         dynamic_stream(258, 4, {{1, 2}, {2, 2}, {16, 2}, {18, 2}},
                        [](BitWriter& w) {
                            w.code(3, 2), w.bits(65 - 11, 7), w.code(0, 2);
                            w.code(3, 2), w.bits(138 - 11, 7);
                            w.code(3, 2), w.bits(52 - 11, 7);
                            w.code(1, 2), w.code(1, 2);
                            w.code(2, 2), w.bits(0, 2), w.code(0, 2);
                            for (int i = 0; i < 4; i++) w.code(0, 1);
                            w.code(3, 2), w.code(0, 1), w.code(2, 2);
                        }),
         0, "AAAAAAA"},
        // Code length code 18 (0), 0 (10), 2 (11); 'A' 00, end of block 01: 1xx matches
        // nothing and reads as symbol 0 after 3 bits.
        {"code missing from an incomplete code gives symbol 0",
         dynamic_stream(257, 1, {{18, 1}, {0, 2}, {2, 2}},
                        [](BitWriter& w) {
                            w.code(0, 1), w.bits(65 - 11, 7), w.code(3, 2);
                            w.code(0, 1), w.bits(138 - 11, 7);
                            w.code(0, 1), w.bits(52 - 11, 7), w.code(3, 2);
                            w.code(2, 2);
                            w.code(0, 2), w.code(4, 3), w.code(1, 2);
                        }),
         0, std::string("A\0", 2)},
        {"zero run of three distance lengths",
         dynamic_stream(257, 3, {{0, 2}, {2, 2}, {17, 2}, {18, 2}}, three_zero_distance_lengths), 0,
         "A"},
        {"zero run of three with two distance codes: one past the end",
         dynamic_stream(257, 2, {{0, 2}, {2, 2}, {17, 2}, {18, 2}}, three_zero_distance_lengths),
         ST_BAD_DATA},
        {"more than 286 literal/length codes",
         dynamic_stream(287, 1, {{18, 1}, {0, 2}, {8, 2}}, [](BitWriter&) {}), ST_BAD_DATA},
        {"zero run of 138 when only 257 - 130 = 127 literal lengths remain",
         dynamic_stream(257, 2, {{18, 1}, {0, 2}, {16, 2}},
                        [](BitWriter& w) {
                            w.code(0, 1), w.bits(130 - 11, 7);
                            w.code(0, 1), w.bits(138 - 11, 7);
                        }),
         ST_BAD_DATA},
        {"repeat running from the literal/length lengths into the distance lengths",
         dynamic_stream(257, 4, {{18, 1}, {0, 2}, {16, 2}},
                        [](BitWriter& w) {
                            w.code(0, 1), w.bits(138 - 11, 7);
                            w.code(0, 1), w.bits(117 - 11, 7); // 255 zeros
                            w.code(2, 2);                      // 256: 0
                            w.code(3, 2), w.bits(1, 2);        // 16: four more, one past the end
                        }),
         ST_BAD_DATA},
        {"code length code not found (no code starts with 1)",
         dynamic_stream(257, 1, {{18, 1}}, [](BitWriter& w) { w.code(1, 1); }), ST_BAD_DATA, "",
         "CODE HUFF TREE NON TROUV 2 pos "},
        {"oversubscribed code length code",
         dynamic_stream(257, 1, {{18, 1}, {0, 1}, {8, 1}}, [](BitWriter&) {}), ST_BAD_DATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        Result r = inflate(c.stream, c.status ? 0x4004 : c.out.size());
        EXPECT_EQ(r.status, c.status);
        if (!c.status) {
            EXPECT_EQ(std::string(r.out.begin(), r.out.end()), c.out);
        }
        EXPECT_NE(log.text.find(c.logged), std::string::npos) << log.text;
    }
}

// Streamed decoding: the source gives the stream in pieces of at most `piece` bytes, and the
// output is taken in counts that cycle through `takes` until the stream ends or fails.
struct Source {
    const Bytes* data;
    size_t at, piece;
};
Source s_source;

size_t source_pieces(uint8_t* to, size_t room) {
    size_t n = std::min({room, s_source.piece, s_source.data->size() - s_source.at});
    std::memcpy(to, s_source.data->data() + s_source.at, n);
    s_source.at += n;
    return n;
}

Result inflate_streamed(const Bytes& stream, size_t limit, size_t piece,
                        const std::vector<size_t>& takes) {
    g_status = 0;
    s_source = Source{&stream, 0, piece};
    inflate_stream_begin(source_pieces, limit);
    Bytes out;
    for (size_t i = 0; !g_status; i++) {
        const size_t count = takes[i % takes.size()];
        size_t got = 0;
        const uint8_t* bytes = inflate_stream_take(count, &got);
        if (bytes) out.insert(out.end(), bytes, bytes + got);
        if (got < count) break;
    }
    inflate_stream_finish();
    Result r{g_status, out};
    inflate_stream_end();
    g_status = 0;
    return r;
}

// Python's zlib at every level, strategy and window (512 bytes to 32 KiB) on random bytes, runs,
// words and copies reaching 32 KiB back, and on megabytes at four levels: each stream fits
// exactly, is refused one byte short, needs no Adler-32 trailer but every byte of its data, and
// streamed in pieces and odd counts gives the same bytes (damaged: the same status).
TEST(Inflate, ZlibStreamsDecodeWholeAndStreamed) {
    const std::string dir = test_temp_dir() + "/zlib";
    const std::string script = test_write_file(
        "make_streams.py",
        "import random, sys, zlib\n"
        "rng = random.Random(15)\n"
        "def mixed(n):\n"
        "    out = bytearray()\n"
        "    while len(out) < n:\n"
        "        k = rng.randrange(4)\n"
        "        if k == 0: out += rng.randbytes(rng.randrange(n // 60))\n"
        "        elif k == 1: out += rng.randbytes(1) * rng.randrange(1, 3000)\n"
        "        elif k == 2 and len(out) > 300:\n"
        "            at = max(0, len(out) - 32768 + rng.randrange(200))\n"
        "            out += out[at:at + rng.randrange(3, 20000)]\n"
        "        else: out += b'row ' * rng.randrange(1000)\n"
        "    return bytes(out[:n])\n"
        "for name, data in (('empty', b''), ('small', mixed(60000)), ('big', mixed(2500000))):\n"
        "    open(f'{sys.argv[1]}/{name}.raw', 'wb').write(data)\n"
        "    big, levels = name == 'big', (0, 1, 6, 9) if name == 'big' else range(10)\n"
        "    settings = [(l, s, 15) for l in levels for s in range(5) if s == 0 or l in (1, 6, 9) "
        "and not big]\n"
        "    for l, s, w in settings + [(9, 0, w) for w in range(9, 15) if name == 'small']:\n"
        "        c = zlib.compressobj(l, zlib.DEFLATED, w, 9, s)\n"
        "        open(f'{sys.argv[1]}/{name}-{l}-{s}-{w}.z', 'wb').write(c.compress(data) + "
        "c.flush())\n");
    if (test_run("mkdir -p " + dir + " && /usr/bin/python3 " + script + " " + dir) != 0)
        GTEST_SKIP() << "python3 with zlib is needed to make the streams";
    const std::vector<std::string> names = test_list_dir(dir, ".z");
    ASSERT_EQ(names.size(), 54u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Bytes raw =
            bytes_of(test_read_file(dir + "/" + name.substr(0, name.find('-')) + ".raw"));
        const Bytes stream = bytes_of(test_read_file(dir + "/" + name));
        const size_t size = raw.size();
        Result exact = inflate(stream, size);
        EXPECT_EQ(exact.status, 0);
        EXPECT_TRUE(exact.out == raw);
        if (size) {
            EXPECT_EQ(inflate(stream, size - 1).status, ST_BAD_DATA) << "does not fit";
            EXPECT_EQ(inflate_streamed(stream, size - 1, 65536, {4097}).status, ST_BAD_DATA);
        }
        Bytes corrupt = stream;
        for (int i = 1; i <= 4; i++) corrupt[corrupt.size() - i] ^= 0x5A;
        Result r = inflate(corrupt, size + 4096);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out == raw) << "corrupt trailer, room to spare";
        EXPECT_EQ(inflate(Bytes(stream.begin(), stream.end() - 4), size).status, 0);
        // The last byte of DEFLATE data always holds bits of the final block.
        const Bytes cut(stream.begin(), stream.end() - 5);
        EXPECT_EQ(inflate(cut, size + 1024).status, ST_BAD_DATA) << "data cut short";
        EXPECT_EQ(inflate_streamed(cut, size, 65536, {4097}).status, ST_BAD_DATA);
        Result streamed = inflate_streamed(stream, size, 65536, {1, 4097, 200000, 13});
        EXPECT_EQ(streamed.status, 0);
        EXPECT_TRUE(streamed.out == raw);
        for (int k = 1; k <= 6; k++) {
            Bytes damaged = stream;
            damaged[damaged.size() * size_t(k) / 7] ^= uint8_t(1 << k);
            Result whole = inflate(damaged, size);
            Result piecewise = inflate_streamed(damaged, size, 3000, {777, 70000});
            EXPECT_EQ(piecewise.status, whole.status) << k;
            EXPECT_TRUE(whole.status || piecewise.out == whole.out) << k;
        }
    }
}

} // namespace
