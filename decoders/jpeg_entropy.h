// Entropy-coded segment reader: the hot paths are inline, refills and failures are not.
//
// Bits are taken most significant first from the reader's whole-file window; a 0xFF data byte
// is followed by a stuffed 0x00 that is skipped. A 0xFF followed by anything else is a marker
// (and so is the end of the file): the reader never moves past it and feeds zero bits from
// then on, counting them so that the scan decoders can tell coded bits from filler.
#pragma once
#include "decoders/jpeg.h"

#include <cstdint>

struct EntropyState {
    const uint8_t* data;
    long size;
    long pos;     // next byte to fetch
    uint64_t acc; // pending bits, next bit in the top bit
    int count;    // bits in acc
    int filler;   // zero bits appended after the marker (the low end of acc)
    bool at_end;  // the fetch position is on a marker or the end of the file
    bool overrun; // a decode consumed filler bits
};
extern EntropyState g_ent;

void ent_begin();     // start at the reader's position
void ent_end();       // put the reader on the byte after the decoded data
bool ent_at_marker(); // no coded bits left before a marker or the end of the file
void ent_fill();      // tops the pending bits up to more than 56
// The bit-by-bit search past the fast table; -1 after logging "CODE HUFF <label> NON TROUV".
int ent_symbol_slow(const HuffTable* table, const char* label);
void huff_build_fast(HuffTable* table);

inline void ent_consume(int n) {
    g_ent.acc <<= n;
    g_ent.count -= n;
    if (g_ent.count < g_ent.filler) {
        g_ent.overrun = true;
        g_ent.filler = g_ent.count;
    }
}

inline int ent_bit() {
    if (g_ent.count < 1) ent_fill();
    int bit = static_cast<int>(g_ent.acc >> 63);
    ent_consume(1);
    return bit;
}

// n = 0..16 bits, first bit highest.
inline int ent_bits(int n) {
    if (n <= 0) return 0;
    if (g_ent.count < n) ent_fill();
    int value = static_cast<int>(g_ent.acc >> (64 - n));
    ent_consume(n);
    return value;
}

// T.81 EXTEND: a value below 2^(bits-1) stands for value - 2^bits + 1.
inline int ent_extend(int value, int bits) {
    if (bits == 0) return 0;
    return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value;
}

// Short AC codes: code and value together in one lookup, consuming the same bits as the symbol
// and its extra bits would. False (nothing consumed) for a code the caller must decode itself.
inline bool ent_ac_short(const HuffTable* ac, int* run, int* value) {
    if (g_ent.count < 16) ent_fill();
    uint32_t entry = ac->ac_value[g_ent.acc >> (64 - HUFF_FAST_BITS)];
    if (!entry) return false;
    ent_consume(static_cast<int>(entry & 0xFF));
    *run = static_cast<int>((entry >> 8) & 0xFF);
    *value = static_cast<int16_t>(entry >> 16);
    return true;
}

// Equivalent to the bit-by-bit search over `lengths`: after L + 1 bits the code is found when
// lengths[value] == L. The first HUFF_FAST_BITS steps are precomputed in `fast`.
inline int ent_symbol(const HuffTable* table, const char* label) {
    if (g_ent.count < 16) ent_fill();
    unsigned entry = table->fast[g_ent.acc >> (64 - HUFF_FAST_BITS)];
    if (entry) {
        ent_consume(static_cast<int>(entry >> 8));
        return static_cast<int>(entry & 0xFF);
    }
    return ent_symbol_slow(table, label);
}
