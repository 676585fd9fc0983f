#include "decoders/inflate.h"

#include "core/status.h"
#include "decoders/huffman_table.h"
#include "core/services.h"

#include <cstdio>
#include <cstring>

namespace {

// Length and distance bases and extra bits, code length order (RFC 1951, 3.2.5 and 3.2.7).
const uint16_t k_length_base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t k_length_extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t k_distance_base[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t k_distance_extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                      6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t k_code_length_order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                         11, 4,  12, 3, 13, 2, 14, 1, 15};

// What each symbol of the three alphabets means, as table entry templates.
uint32_t s_litlen_meaning[288];
uint32_t s_distance_meaning[32];
uint32_t s_code_length_meaning[19];

HuffTable s_fixed_litlen;
HuffTable s_fixed_distance;
bool s_fixed_ready = false;

HuffTable s_litlen;
HuffTable s_distance;
HuffTable s_code_lengths;

// Bit input: bits are consumed from bit 0 of `bits`; `count` of them are valid. Past the end
// of the input zero bytes are fed in and counted, so that consuming one of them is detected.
struct BitInput {
    const uint8_t* next;
    const uint8_t* end;
    uint64_t bits;
    unsigned count;
    size_t padding;
};

BitInput s_in;
uint8_t* s_out_start;
uint8_t* s_out;
uint8_t* s_out_end;
size_t s_window;

void init_meanings() {
    for (uint32_t s = 0; s < 256; s++) s_litlen_meaning[s] = huff_entry(HK_LITERAL, 0, s);
    s_litlen_meaning[256] = huff_entry(HK_END, 0, 0);
    for (int s = 257; s < 286; s++)
        s_litlen_meaning[s] =
            huff_entry(HK_LENGTH, k_length_extra[s - 257], k_length_base[s - 257]);
    s_litlen_meaning[286] = s_litlen_meaning[287] = huff_entry(HK_BAD, 0, 0);
    for (int s = 0; s < 30; s++)
        s_distance_meaning[s] = huff_entry(HK_LENGTH, k_distance_extra[s], k_distance_base[s]);
    s_distance_meaning[30] = s_distance_meaning[31] = huff_entry(HK_BAD, 0, 0);
    for (uint32_t s = 0; s < 19; s++) s_code_length_meaning[s] = huff_entry(HK_SYMBOL, 0, s);
}

void prepare_fixed_tables() {
    if (s_fixed_ready) return;
    init_meanings();
    uint8_t lengths[288];
    for (int s = 0; s < 288; s++) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    huff_build(&s_fixed_litlen, lengths, 288, s_litlen_meaning, s_litlen_meaning[0], 10);
    for (int s = 0; s < 32; s++) lengths[s] = 5;
    huff_build(&s_fixed_distance, lengths, 32, s_distance_meaning, s_distance_meaning[0], 8);
    s_fixed_ready = true;
}

inline uint64_t load_le64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// Tops the bit buffer up from the last bytes of the input, then with zeros past its end.
// Sets status 14 when zeros past the end have been consumed; the zeros keep coming so every
// later read stays defined, and callers stop at the status.
void refill_slow(BitInput& in) {
    if (in.padding * 8 > in.count) g_status = ST_BAD_DATA;
    in.bits &= (uint64_t(1) << in.count) - 1;
    while (in.count <= 48) {
        uint64_t byte = 0;
        if (in.next < in.end)
            byte = *in.next++;
        else
            in.padding++;
        in.bits |= byte << in.count;
        in.count += 8;
    }
}

// Tops the bit buffer up to at least 49 valid bits (one length and distance need 48).
// Returns false once the input has run out (status 14).
inline bool refill(BitInput& in) {
    if (in.end - in.next >= 8) {
        // Whole-word load; bytes only partly taken are loaded again, to the same bits.
        in.bits |= load_le64(in.next) << in.count;
        in.next += (63 - in.count) >> 3;
        in.count |= 56;
        return true;
    }
    refill_slow(in);
    return g_status == 0;
}

inline uint32_t take_bits(BitInput& in, unsigned n) {
    uint32_t v = uint32_t(in.bits & ((uint64_t(1) << n) - 1));
    in.bits >>= n;
    in.count -= n;
    return v;
}

inline void drop_bits(BitInput& in, unsigned n) {
    in.bits >>= n;
    in.count -= n;
}

// Reads n (at most 32) bits, first bit read in bit 0 of the result.
uint32_t read_bits(unsigned n) {
    refill(s_in); // past the end: zeros, and status 14
    return take_bits(s_in, n);
}

bool input_overrun() {
    return s_in.padding * 8 > s_in.count;
}

// Copies `length` bytes from `distance` back. The caller has checked that the length fits the
// output and the distance reaches neither before the output nor beyond the window.
inline uint8_t* copy_match(uint8_t* out, uint8_t* out_end, uint32_t length, uint32_t distance) {
    const uint8_t* from = out - distance;
    uint8_t* const stop = out + length;
    if (distance >= 16 && out_end - stop >= 16) {
        // Whole 16-byte blocks; the source is always at least one block behind.
        do {
            uint8_t block[16];
            std::memcpy(block, from, 16);
            std::memcpy(out, block, 16);
            from += 16;
            out += 16;
        } while (out < stop);
        return stop;
    }
    if (distance >= 8 && out_end - stop >= 8) {
        do {
            uint64_t w;
            std::memcpy(&w, from, 8);
            std::memcpy(out, &w, 8);
            from += 8;
            out += 8;
        } while (out < stop);
        return stop;
    }
    if (distance == 1) {
        std::memset(out, out[-1], length);
        return stop;
    }
    if (distance < 8 && out_end - stop >= 8) {
        // Short period (PNG pixels): lay a word of the repeating pattern at steps that are a
        // multiple of the period.
        uint8_t pattern[8];
        for (uint32_t i = 0; i < 8; i++) pattern[i] = from[i % distance];
        uint64_t w;
        std::memcpy(&w, pattern, 8);
        const uint32_t step = 8 - 8 % distance;
        for (; out < stop; out += step) std::memcpy(out, &w, 8);
        return stop;
    }
    while (out < stop) *out++ = *from++;
    return stop;
}

void log_code_length_not_found(uint32_t bits, unsigned n) {
    uint32_t value = 0;
    for (unsigned i = 0; i < n; i++) value = (value << 1) | ((bits >> i) & 1);
    char text[64];
    std::snprintf(text, sizeof text, "CODE HUFF TREE NON TROUV %u pos ", value);
    log_line(text);
}

// Decodes one sequence of `count` code lengths (literal/length or distance) with the code
// length code. Repeats and zero runs stay inside the sequence.
void read_code_lengths(uint8_t* lengths, int count) {
    int i = 0;
    uint8_t previous = 0;
    while (i < count) {
        if (!refill(s_in)) return;
        const uint32_t e = huff_lookup(s_code_lengths, s_in.bits);
        if (huff_kind(e) == HK_MISSING) {
            log_code_length_not_found(uint32_t(s_in.bits), huff_bits(e));
            g_status = ST_BAD_DATA;
            return;
        }
        if (huff_kind(e) == HK_BAD) {
            g_status = ST_BAD_DATA;
            return;
        }
        drop_bits(s_in, huff_bits(e));
        const uint32_t symbol = huff_value(e);
        if (symbol < 16) {
            lengths[i++] = previous = uint8_t(symbol);
            continue;
        }
        int run;
        uint8_t value = 0;
        if (symbol == 16) {
            run = 3 + int(take_bits(s_in, 2));
            value = previous;
        } else if (symbol == 17) {
            run = 3 + int(take_bits(s_in, 3));
        } else {
            run = 11 + int(take_bits(s_in, 7));
        }
        if (run > count - i) {
            g_status = ST_BAD_DATA;
            return;
        }
        std::memset(lengths + i, value, size_t(run));
        i += run;
        previous = value;
    }
}

void read_dynamic_tables() {
    const int hlit = int(read_bits(5)) + 257;
    const int hdist = int(read_bits(5)) + 1;
    const int hclen = int(read_bits(4)) + 4;
    if (hlit > 286) {
        g_status = ST_BAD_DATA;
        return;
    }
    uint8_t lengths[288] = {};
    for (int i = 0; i < hclen; i++) lengths[k_code_length_order[i]] = uint8_t(read_bits(3));
    if (!huff_build(&s_code_lengths, lengths, 19, s_code_length_meaning,
                    huff_entry(HK_MISSING, 0, 0), 7)) {
        g_status = ST_BAD_DATA;
        return;
    }
    uint8_t litlen_lengths[288] = {};
    uint8_t distance_lengths[32] = {};
    read_code_lengths(litlen_lengths, hlit);
    if (g_status) return;
    read_code_lengths(distance_lengths, hdist);
    if (g_status) return;
    if (!huff_build(&s_litlen, litlen_lengths, hlit, s_litlen_meaning, s_litlen_meaning[0], 10) ||
        !huff_build(&s_distance, distance_lengths, hdist, s_distance_meaning, s_distance_meaning[0],
                    8))
        g_status = ST_BAD_DATA;
}

// Literals and copies up to the end-of-block code.
void decode_compressed(const HuffTable& litlen, const HuffTable& distance) {
    BitInput in = s_in;
    uint8_t* out = s_out;
    uint8_t* const out_end = s_out_end;
    uint8_t* const out_start = s_out_start;
    const size_t window = s_window;
    for (;;) {
        if (!refill(in)) break;
        uint32_t e = huff_lookup(litlen, in.bits);
        drop_bits(in, huff_bits(e));
        const uint32_t kind = huff_kind(e);
        if (kind == HK_LITERAL) {
            if (out_end - out < 3) {
                if (out == out_end) {
                    g_status = ST_BAD_DATA;
                    break;
                }
                *out++ = uint8_t(huff_value(e));
                continue;
            }
            // Up to two more literals on the same refill (49 bits cover three codes).
            *out++ = uint8_t(huff_value(e));
            e = huff_lookup(litlen, in.bits);
            if (huff_kind(e) != HK_LITERAL) continue;
            drop_bits(in, huff_bits(e));
            *out++ = uint8_t(huff_value(e));
            e = huff_lookup(litlen, in.bits);
            if (huff_kind(e) != HK_LITERAL) continue;
            drop_bits(in, huff_bits(e));
            *out++ = uint8_t(huff_value(e));
            continue;
        }
        if (kind == HK_END) break;
        if (kind != HK_LENGTH) {
            g_status = ST_BAD_DATA;
            break;
        }
        const uint32_t length = huff_value(e) + take_bits(in, huff_extra(e));
        e = huff_lookup(distance, in.bits);
        if (huff_kind(e) != HK_LENGTH) {
            g_status = ST_BAD_DATA;
            break;
        }
        drop_bits(in, huff_bits(e));
        const uint32_t dist = huff_value(e) + take_bits(in, huff_extra(e));
        if (dist > window || dist > size_t(out - out_start) || length > size_t(out_end - out)) {
            g_status = ST_BAD_DATA;
            break;
        }
        out = copy_match(out, out_end, length, dist);
    }
    s_in = in;
    s_out = out;
}

void block_stored() {
    // Drop the rest of a partly read byte, then hand the whole bytes held back to the input.
    drop_bits(s_in, s_in.count & 7);
    size_t held = s_in.count >> 3;
    if (s_in.padding > held) {
        g_status = ST_BAD_DATA;
        return;
    }
    s_in.next -= held - s_in.padding;
    s_in.bits = 0;
    s_in.count = 0;
    s_in.padding = 0;
    if (s_in.end - s_in.next < 4) {
        g_status = ST_BAD_DATA;
        return;
    }
    const size_t length = size_t(s_in.next[0]) | size_t(s_in.next[1]) << 8;
    s_in.next += 4; // LEN, then NLEN, which is not checked
    if (size_t(s_in.end - s_in.next) < length || size_t(s_out_end - s_out) < length) {
        g_status = ST_BAD_DATA;
        return;
    }
    if (length) std::memcpy(s_out, s_in.next, length); // the output may be empty (null)
    s_out += length;
    s_in.next += length;
}

void block_fixed() {
    decode_compressed(s_fixed_litlen, s_fixed_distance);
}

void block_dynamic() {
    read_dynamic_tables();
    if (g_status) return;
    decode_compressed(s_litlen, s_distance);
}

void block_reserved() {
    g_status = ST_BAD_DATA;
}

void (*const k_block_handlers[4])() = {block_stored, block_fixed, block_dynamic, block_reserved};

} // namespace

size_t inflate_zlib(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size) {
    prepare_fixed_tables();
    s_out_start = s_out = output;
    s_out_end = output + output_size;
    s_in = BitInput{input, input + input_size, 0, 0, 0};
    if (input_size < 2) {
        g_status = ST_BAD_DATA;
        return 0;
    }
    const unsigned cmf = input[0];
    const unsigned flg = input[1];
    if ((cmf & 15) != 8 || (cmf >> 4) > 7 || (flg & 0x20)) {
        g_status = ST_BAD_DATA;
        return 0;
    }
    s_window = size_t(1) << ((cmf >> 4) + 8);
    s_in.next += 2;

    bool last = false;
    while (!last && !g_status) {
        last = read_bits(1) != 0;
        const uint32_t type = read_bits(2);
        if (g_status) break;
        k_block_handlers[type]();
    }
    if (!g_status && input_overrun()) g_status = ST_BAD_DATA;
    return size_t(s_out - s_out_start);
}
