// Inflate: canonical Huffman decoding through one-lookup tables (huffman_table.h), a 64-bit
// bit buffer refilled a word at a time, and a fast loop that runs without bounds tests while
// it is far from the ends of both the input and the output.
#include "decoders/inflate.h"

#include "core/byte_order.h"
#include "core/mem.h"
#include "core/services.h"
#include "core/status.h"
#include "decoders/huffman_table.h"

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

// Output room the fast loop keeps: the longest copy and the overrun of its block copies.
constexpr ptrdiff_t k_fast_room = 258 + 32;
// Input the fast loop keeps: a word refill reads 8 bytes.
constexpr ptrdiff_t k_fast_input = 16;
// Input that holds any block header, the longest dynamic one (about 560 bytes) included.
constexpr ptrdiff_t k_header_input = 1024;
// Streamed input buffer, and the output window: the history copies reach plus a piece.
constexpr size_t k_input_size = size_t(1) << 17;
constexpr size_t k_history = 32768;
constexpr size_t k_output_piece = size_t(1) << 18;

// Bit input: bits are consumed from bit 0 of `bits`; `count` of them are valid. Past the end
// of the input zero bytes are fed in and counted, so that consuming one of them is detected.
struct BitInput {
    const uint8_t* next;
    const uint8_t* end;
    uint64_t bits;
    unsigned count;
    size_t padding;
};

enum StreamState { STREAM_START, BLOCK_HEADER, BLOCK_STORED, BLOCK_CODED, STREAM_DONE };

// One stream being decoded. A whole-buffer stream has all its input and writes into the
// caller's buffer; a streamed one pulls input into `input` and writes into `buffer`, whose
// first byte is output number `base`.
struct Stream {
    BitInput in;
    InflateSource source;
    bool input_final; // nothing more comes from the source
    uint8_t* out_start;
    uint8_t* out;
    uint8_t* out_end; // end of the room of this run
    bool at_limit;    // out_end is the end of all the output the stream may give
    unsigned long long base;
    unsigned long long limit;
    size_t window;
    StreamState state;
    bool last_block;
    size_t stored_left;
    const HuffTable* litlen;
    const HuffTable* distance;
    uint8_t* input;
    uint8_t* buffer;
    size_t capacity;
    size_t taken; // bytes of `buffer` already handed out
};

Stream s;

void init_meanings() {
    for (uint32_t v = 0; v < 256; v++) s_litlen_meaning[v] = huff_entry(HK_LITERAL, 0, v);
    s_litlen_meaning[256] = huff_entry(HK_END, 0, 0);
    for (int v = 257; v < 286; v++)
        s_litlen_meaning[v] =
            huff_entry(HK_LENGTH, k_length_extra[v - 257], k_length_base[v - 257]);
    s_litlen_meaning[286] = s_litlen_meaning[287] = huff_entry(HK_BAD, 0, 0);
    for (int v = 0; v < 30; v++)
        s_distance_meaning[v] = huff_entry(HK_LENGTH, k_distance_extra[v], k_distance_base[v]);
    s_distance_meaning[30] = s_distance_meaning[31] = huff_entry(HK_BAD, 0, 0);
    for (uint32_t v = 0; v < 19; v++) s_code_length_meaning[v] = huff_entry(HK_SYMBOL, 0, v);
}

void prepare_fixed_tables() {
    if (s_fixed_ready) return;
    init_meanings();
    uint8_t lengths[288];
    for (int v = 0; v < 288; v++) lengths[v] = v < 144 ? 8 : v < 256 ? 9 : v < 280 ? 7 : 8;
    huff_build(&s_fixed_litlen, lengths, 288, s_litlen_meaning, s_litlen_meaning[0], 10);
    for (int v = 0; v < 32; v++) lengths[v] = 5;
    huff_build(&s_fixed_distance, lengths, 32, s_distance_meaning, s_distance_meaning[0], 8);
    s_fixed_ready = true;
}

// Tops the bit buffer up with a whole-word load (at least 8 bytes must be left): 56 valid bits
// or more. Bytes only partly taken are loaded again, to the same bits.
inline void refill_word(BitInput& in) {
    in.bits |= load_le64(in.next) << in.count;
    in.next += (63 - in.count) >> 3;
    in.count |= 56;
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
        refill_word(in);
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
    refill(s.in); // past the end: zeros, and status 14
    return take_bits(s.in, n);
}

bool input_overrun() {
    return s.in.padding * 8 > s.in.count;
}

// Makes sure `wanted` input bytes are at hand when the source still has some: moves what is
// left (with the 8 bytes before it, which the bit buffer may hand back to a stored block) to
// the front of the input buffer and fills the rest.
void pull_input(ptrdiff_t wanted) {
    if (s.input_final || s.in.end - s.in.next >= wanted) return;
    const ptrdiff_t behind = s.in.next - s.input < 8 ? s.in.next - s.input : 8;
    const uint8_t* keep = s.in.next - behind;
    size_t held = size_t(s.in.end - keep);
    std::memmove(s.input, keep, held);
    while (held < k_input_size && !s.input_final) {
        const size_t n = s.source(s.input + held, k_input_size - held);
        if (n == 0) s.input_final = true;
        held += n;
    }
    s.in.next = s.input + behind;
    s.in.end = s.input + held;
}

// Output the stream may still give.
unsigned long long output_left() {
    return s.limit - s.base - (unsigned long long)(s.out - s.out_start);
}

// Copies `length` bytes from `distance` back, in blocks that may run up to 15 bytes past the
// copy: the caller guarantees 16 bytes of room beyond it, and that the distance reaches
// neither before the output nor beyond the window.
inline uint8_t* copy_match_fast(uint8_t* out, uint32_t length, uint32_t distance) {
    const uint8_t* from = out - distance;
    uint8_t* const stop = out + length;
    if (distance >= 16) {
        // The source is always at least one block behind.
        do {
            uint8_t block[16];
            std::memcpy(block, from, 16);
            std::memcpy(out, block, 16);
            from += 16;
            out += 16;
        } while (out < stop);
        return stop;
    }
    if (distance >= 8) {
        do {
            uint64_t w;
            std::memcpy(&w, from, 8);
            std::memcpy(out, &w, 8);
            from += 8;
            out += 8;
        } while (out < stop);
        return stop;
    }
    // Short period (runs, PNG pixels): the period's bytes repeated through a word (the
    // multiplier puts a copy at every multiple of the period), laid at steps that are a
    // multiple of the period. The word read past the period is masked off.
    static const uint64_t k_repeat[8] = {0,
                                         0x0101010101010101ull,
                                         0x0001000100010001ull,
                                         0x0001000001000001ull,
                                         0x0000000100000001ull,
                                         0x0000010000000001ull,
                                         0x0001000000000001ull,
                                         0x0100000000000001ull};
    static const uint8_t k_step[8] = {0, 8, 8, 6, 8, 5, 6, 7};
    const uint64_t period = load_le64(from) & ((uint64_t(1) << (8 * distance)) - 1);
    const uint64_t w = period * k_repeat[distance];
    const uint32_t step = k_step[distance];
    for (; out < stop; out += step) store_le64(out, w);
    return stop;
}

// As copy_match_fast, without writing past out_end.
inline uint8_t* copy_match(uint8_t* out, uint8_t* out_end, uint32_t length, uint32_t distance) {
    uint8_t* const stop = out + length;
    if (out_end - stop >= 16) return copy_match_fast(out, length, distance);
    const uint8_t* from = out - distance;
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
        if (!refill(s.in)) return;
        const uint32_t e = huff_lookup(s_code_lengths, s.in.bits);
        if (huff_kind(e) == HK_MISSING) {
            log_code_length_not_found(uint32_t(s.in.bits), huff_bits(e));
            g_status = ST_BAD_DATA;
            return;
        }
        if (huff_kind(e) == HK_BAD) {
            g_status = ST_BAD_DATA;
            return;
        }
        drop_bits(s.in, huff_bits(e));
        const uint32_t symbol = huff_value(e);
        if (symbol < 16) {
            lengths[i++] = previous = uint8_t(symbol);
            continue;
        }
        int run;
        uint8_t value = 0;
        if (symbol == 16) {
            run = 3 + int(take_bits(s.in, 2));
            value = previous;
        } else if (symbol == 17) {
            run = 3 + int(take_bits(s.in, 3));
        } else {
            run = 11 + int(take_bits(s.in, 7));
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

enum StepResult { STEP_ON, STEP_BLOCK_END, STEP_BAD };

// A table's entries and primary mask, held in locals by the hot loop: byte stores to the
// output may alias anything, so fields read through a pointer would be read again each time.
struct Lookup {
    const uint32_t* entries;
    uint32_t mask;
    uint32_t at(uint64_t bits) const { return huff_lookup(entries, mask, bits); }
};

// Decodes the copy that `e`, a literal/length entry that is not a literal, starts: at least
// 48 bits are in the buffer. `careful`: the room to out_end is checked (else the fast loop's
// room is there).
template <bool careful>
inline StepResult copy_step(BitInput& in, uint32_t e, uint8_t*& out, uint8_t* out_start,
                            uint8_t* out_end, size_t window, Lookup distance) {
    const uint32_t kind = huff_kind(e);
    if (kind == HK_END) return STEP_BLOCK_END;
    if (kind != HK_LENGTH) return STEP_BAD;
    const uint32_t length = huff_value(e) + take_bits(in, huff_extra(e));
    e = distance.at(in.bits);
    if (huff_kind(e) != HK_LENGTH) return STEP_BAD;
    drop_bits(in, huff_bits(e));
    const uint32_t dist = huff_value(e) + take_bits(in, huff_extra(e));
    if (dist > window || dist > size_t(out - out_start)) return STEP_BAD;
    if (careful) {
        if (length > size_t(out_end - out)) return STEP_BAD;
        out = copy_match(out, out_end, length, dist);
    } else {
        out = copy_match_fast(out, length, dist);
    }
    return STEP_ON;
}

// Literals and copies of a fixed or dynamic block, up to its end-of-block code. Returns false
// when it stopped early to let a streamed output make room (the block goes on later).
bool decode_coded() {
    const Lookup litlen{s.litlen->entries, s.litlen->primary_mask};
    const Lookup distance{s.distance->entries, s.distance->primary_mask};
    BitInput in = s.in;
    uint8_t* out = s.out;
    uint8_t* const out_start = s.out_start;
    uint8_t* const out_end = s.out_end;
    const size_t window = s.window;
    StepResult result = STEP_ON;
    bool suspended = false;
    while (result == STEP_ON) {
        // Far from both ends: no bounds tests but the loop's own.
        while (in.end - in.next >= k_fast_input && out_end - out >= k_fast_room) {
            refill_word(in);
            uint32_t e = litlen.at(in.bits);
            if (huff_is_literal(e)) {
                // Up to two more literals on the same refill (56 bits cover three codes).
                drop_bits(in, huff_bits(e));
                *out++ = uint8_t(huff_value(e));
                e = litlen.at(in.bits);
                if (!huff_is_literal(e)) continue;
                drop_bits(in, huff_bits(e));
                *out++ = uint8_t(huff_value(e));
                e = litlen.at(in.bits);
                if (!huff_is_literal(e)) continue;
                drop_bits(in, huff_bits(e));
                *out++ = uint8_t(huff_value(e));
                continue;
            }
            drop_bits(in, huff_bits(e));
            result = copy_step<false>(in, e, out, out_start, out_end, window, distance);
            if (result != STEP_ON) break;
        }
        if (result != STEP_ON) break;
        if (!s.input_final && in.end - in.next < k_fast_input) {
            s.in = in;
            pull_input(k_input_size);
            in = s.in;
            continue;
        }
        if (!s.at_limit && out_end - out < k_fast_room) {
            suspended = true;
            break;
        }
        // Near the end of the input or of the output the stream may give: one code at a time,
        // every bound checked.
        if (!refill(in)) break;
        const uint32_t e = litlen.at(in.bits);
        drop_bits(in, huff_bits(e));
        if (huff_is_literal(e)) {
            if (out == out_end) {
                result = STEP_BAD;
                break;
            }
            *out++ = uint8_t(huff_value(e));
            continue;
        }
        result = copy_step<true>(in, e, out, out_start, out_end, window, distance);
    }
    s.in = in;
    s.out = out;
    if (result == STEP_BAD) g_status = ST_BAD_DATA;
    if (result == STEP_BLOCK_END) s.state = BLOCK_HEADER;
    return !suspended;
}

void start_stored() {
    // Drop the rest of a partly read byte, then hand the whole bytes held back to the input.
    drop_bits(s.in, s.in.count & 7);
    const size_t held = s.in.count >> 3;
    if (s.in.padding > held) {
        g_status = ST_BAD_DATA;
        return;
    }
    s.in.next -= held - s.in.padding;
    s.in.bits = 0;
    s.in.count = 0;
    s.in.padding = 0;
    if (s.in.end - s.in.next < 4) {
        g_status = ST_BAD_DATA;
        return;
    }
    const size_t length = size_t(s.in.next[0]) | size_t(s.in.next[1]) << 8;
    s.in.next += 4; // LEN, then NLEN, which is not checked
    if ((s.input_final && size_t(s.in.end - s.in.next) < length) || output_left() < length) {
        g_status = ST_BAD_DATA;
        return;
    }
    s.stored_left = length;
    s.state = BLOCK_STORED;
}

// Copies a stored block's bytes as input and room allow. Returns false when it stopped to let
// a streamed output make room.
bool copy_stored() {
    while (s.stored_left) {
        size_t n = size_t(s.in.end - s.in.next);
        if (!n) {
            if (s.input_final) {
                g_status = ST_BAD_DATA;
                return true;
            }
            pull_input(k_input_size);
            continue;
        }
        const size_t room = size_t(s.out_end - s.out);
        if (!room) return false;
        if (n > room) n = room;
        if (n > s.stored_left) n = s.stored_left;
        std::memcpy(s.out, s.in.next, n);
        s.out += n;
        s.in.next += n;
        s.stored_left -= n;
    }
    s.state = BLOCK_HEADER;
    return true;
}

void read_stream_header() {
    pull_input(2);
    if (s.in.end - s.in.next < 2) {
        g_status = ST_BAD_DATA;
        return;
    }
    const unsigned cmf = s.in.next[0];
    const unsigned flg = s.in.next[1];
    if ((cmf & 15) != 8 || (cmf >> 4) > 7 || (flg & 0x20)) {
        g_status = ST_BAD_DATA;
        return;
    }
    s.window = size_t(1) << ((cmf >> 4) + 8);
    s.in.next += 2;
    s.state = BLOCK_HEADER;
}

void read_block_header() {
    if (s.last_block) {
        s.state = STREAM_DONE;
        if (input_overrun()) g_status = ST_BAD_DATA;
        return;
    }
    pull_input(k_header_input);
    s.last_block = read_bits(1) != 0;
    const uint32_t type = read_bits(2);
    if (g_status) return;
    switch (type) {
    case 0:
        start_stored();
        break;
    case 1:
        s.litlen = &s_fixed_litlen;
        s.distance = &s_fixed_distance;
        s.state = BLOCK_CODED;
        break;
    case 2:
        read_dynamic_tables();
        s.litlen = &s_litlen;
        s.distance = &s_distance;
        s.state = BLOCK_CODED;
        break;
    default:
        g_status = ST_BAD_DATA;
        break;
    }
}

// Decodes until the stream ends, a status is set, or a streamed output needs room.
void run() {
    while (!g_status) {
        switch (s.state) {
        case STREAM_START:
            read_stream_header();
            break;
        case BLOCK_HEADER:
            read_block_header();
            break;
        case BLOCK_STORED:
            if (!copy_stored()) return;
            break;
        case BLOCK_CODED:
            if (!decode_coded()) return;
            break;
        case STREAM_DONE:
            return;
        }
    }
}

// The room of a streamed output's next run: to the buffer's end or to the limit.
void set_room() {
    const unsigned long long to_limit = s.limit - s.base;
    s.at_limit = to_limit <= s.capacity;
    s.out_end = s.buffer + (s.at_limit ? size_t(to_limit) : s.capacity);
}

// Makes room for `count` bytes past those taken, and for the fast loop beyond: slides the
// window down to the bytes not yet taken and the history copies may reach, and grows it
// when that is not enough.
void make_room(size_t count) {
    const size_t needed = count + size_t(k_fast_room);
    if (s.capacity - s.taken >= needed) return;
    const size_t produced = size_t(s.out - s.buffer);
    size_t drop = produced > k_history ? produced - k_history : 0;
    if (drop > s.taken) drop = s.taken;
    std::memmove(s.buffer, s.buffer + drop, produced - drop);
    s.base += drop;
    s.taken -= drop;
    s.out -= drop;
    if (s.capacity - s.taken < needed) {
        const size_t written = size_t(s.out - s.buffer);
        const size_t capacity = s.taken + needed + k_output_piece;
        if (!mem_realloc(s.buffer, capacity)) return;
        s.capacity = capacity;
        s.out = s.buffer + written;
    }
    s.out_start = s.buffer;
    set_room();
}

} // namespace

size_t inflate_zlib(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size) {
    prepare_fixed_tables();
    inflate_stream_end();
    s = Stream{};
    s.in = BitInput{input, input + input_size, 0, 0, 0};
    s.input_final = true;
    s.out_start = s.out = output;
    s.out_end = output + output_size;
    s.at_limit = true;
    s.limit = output_size;
    s.state = STREAM_START;
    run();
    return size_t(s.out - s.out_start);
}

void inflate_stream_begin(InflateSource source, unsigned long long limit) {
    prepare_fixed_tables();
    inflate_stream_end();
    s = Stream{};
    s.source = source;
    s.limit = limit;
    s.state = STREAM_START;
    s.capacity = k_history + k_output_piece;
    if (!mem_alloc(s.input, k_input_size) || !mem_alloc(s.buffer, s.capacity)) return;
    s.in = BitInput{s.input, s.input, 0, 0, 0};
    s.out_start = s.out = s.buffer;
    set_room();
}

const uint8_t* inflate_stream_take(size_t count, size_t* got) {
    *got = 0;
    if (!s.buffer || count > size_t(-1) / 4) {
        if (!g_status) g_status = ST_NO_MEMORY;
        return nullptr;
    }
    while (size_t(s.out - s.buffer) - s.taken < count && s.state != STREAM_DONE && !g_status) {
        make_room(count);
        if (!g_status) run();
    }
    if (g_status) return nullptr;
    size_t have = size_t(s.out - s.buffer) - s.taken;
    if (have > count) have = count;
    const uint8_t* bytes = s.buffer + s.taken;
    s.taken += have;
    *got = have;
    return bytes;
}

void inflate_stream_finish() {
    while (s.buffer && s.state != STREAM_DONE && !g_status) {
        s.taken = size_t(s.out - s.buffer);
        make_room(0);
        if (!g_status) run();
    }
}

void inflate_stream_end() {
    mem_free(s.input);
    mem_free(s.buffer);
}
