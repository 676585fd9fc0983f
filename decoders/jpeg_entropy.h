// Entropy-coded segment reader: the hot paths are inline, refills and failures are not.
//
// Bits are taken most significant first straight from the reader's window, which moves on at
// its end; a 0xFF data byte is followed by a stuffed 0x00 that is skipped. A 0xFF followed by
// anything else is a marker (and so is the end of the file): the reader never moves past it
// and feeds zero bits from then on, counting them so that the scan decoders can tell coded
// bits from filler.
#pragma once
#include "decoders/jpeg.h"

#include <cstdint>
#include <cstring>

struct EntropyState {
    const uint8_t* data; // the reader's window
    long size;           // its bytes; the window moves on when the position reaches them
    long held;           // bytes there from data on: the window and what follows it
    long long base;      // file offset of data[0]
    bool last_window;    // the window reaches the end of the file
    long pos;            // next byte to fetch
    uint64_t acc;        // pending bits, next bit in the top bit
    int count;           // bits in acc
    int filler;          // zero bits appended after the marker (the low end of acc)
    bool at_end;         // the fetch position is on a marker or the end of the file
    bool overrun;        // a decode consumed filler bits
};
extern EntropyState g_ent;

void ent_begin();     // start at the reader's position
void ent_end();       // put the reader on the byte after the decoded data
bool ent_at_marker(); // no coded bits left before a marker or the end of the file
void ent_fill();      // tops the pending bits up to more than 56
// The bit-by-bit search past the fast table; -1 after logging "CODE HUFF <label> NON TROUV".
int ent_symbol_slow(const HuffTable* table, const char* label);
void huff_build_fast(HuffTable* table);

// The hot helpers take the state they work on: a decoding loop can run on a local copy that
// stays in registers (its stores of coefficients could otherwise alias the global one). The
// forms without a state work on g_ent.
inline void ent_consume(EntropyState& e, int n) {
    e.acc <<= n;
    e.count -= n;
    if (e.count < e.filler) {
        e.overrun = true;
        e.filler = e.count;
    }
}

// ent_fill's work for plain data bytes, eight at a time when none of them is 0xFF; a 0xFF
// (stuffing or a marker) and the end of the data are left to ent_fill.
inline void ent_refill(EntropyState& e) {
    if (e.count > 56) return;
    if (!e.at_end && e.pos + 8 <= e.size) {
        // The next eight bytes, the first one highest.
        uint64_t w;
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(&w, e.data + e.pos, sizeof w);
        w = __builtin_bswap64(w);
#else
        w = 0;
        for (int i = 0; i < 8; ++i) w = w << 8 | e.data[e.pos + i];
#endif
        // No byte is 0xFF when no byte of ~w is zero.
        uint64_t x = ~w;
        if (!((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull)) {
            int n = (64 - e.count) >> 3; // the bytes ent_fill would take
            e.acc |= (w & (~0ull << (64 - 8 * n))) >> e.count;
            e.count += 8 * n;
            e.pos += n;
            return;
        }
    }
    while (e.count <= 56) {
        if (e.at_end || e.pos >= e.size || e.data[e.pos] == 0xFF) {
            g_ent = e;
            ent_fill();
            e = g_ent;
            return;
        }
        e.acc |= static_cast<uint64_t>(e.data[e.pos++]) << (56 - e.count);
        e.count += 8;
    }
}

// n = 0..16 bits, first bit highest.
inline int ent_bits(EntropyState& e, int n) {
    if (n <= 0) return 0;
    if (e.count < n) ent_refill(e);
    int value = static_cast<int>(e.acc >> (64 - n));
    ent_consume(e, n);
    return value;
}

inline int ent_bit(EntropyState& e) {
    if (e.count < 1) ent_refill(e);
    int bit = static_cast<int>(e.acc >> 63);
    ent_consume(e, 1);
    return bit;
}

// ent_at_marker on a state held by the caller.
inline bool ent_at_marker(EntropyState& e) {
    if (e.overrun) return true;
    if (e.count - e.filler <= 0 && !e.at_end) ent_refill(e);
    return e.at_end && e.count - e.filler <= 0;
}

inline void ent_consume(int n) {
    ent_consume(g_ent, n);
}

inline int ent_bit() {
    if (g_ent.count < 1) ent_fill();
    int bit = static_cast<int>(g_ent.acc >> 63);
    ent_consume(1);
    return bit;
}

inline int ent_bits(int n) {
    return ent_bits(g_ent, n);
}

// T.81 EXTEND: a value below 2^(bits-1) stands for value - 2^bits + 1.
inline int ent_extend(int value, int bits) {
    if (bits == 0) return 0;
    return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value;
}

// Short AC codes: code and value together in one lookup, consuming the same bits as the symbol
// and its extra bits would. False (nothing consumed) for a code the caller must decode itself.
inline bool ent_ac_short(EntropyState& e, const HuffTable* ac, int* run, int* value) {
    if (e.count < 16) ent_refill(e);
    uint32_t entry = ac->ac_value[e.acc >> (64 - HUFF_FAST_BITS)];
    if (!entry) return false;
    ent_consume(e, static_cast<int>(entry & 0xFF));
    *run = static_cast<int>((entry >> 8) & 0xFF);
    *value = static_cast<int16_t>(entry >> 16);
    return true;
}

inline bool ent_ac_short(const HuffTable* ac, int* run, int* value) {
    return ent_ac_short(g_ent, ac, run, value);
}

// Equivalent to the bit-by-bit search over `lengths`: after L + 1 bits the code is found when
// lengths[value] == L. The first HUFF_FAST_BITS steps are precomputed in `fast`.
inline int ent_symbol(EntropyState& e, const HuffTable* table, const char* label) {
    if (e.count < 16) ent_refill(e);
    unsigned entry = table->fast[e.acc >> (64 - HUFF_FAST_BITS)];
    if (entry) {
        ent_consume(e, static_cast<int>(entry >> 8));
        return static_cast<int>(entry & 0xFF);
    }
    g_ent = e;
    int symbol = ent_symbol_slow(table, label);
    e = g_ent;
    return symbol;
}

inline int ent_symbol(const HuffTable* table, const char* label) {
    return ent_symbol(g_ent, table, label);
}
