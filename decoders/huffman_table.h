// Lookup tables for the canonical Huffman codes of DEFLATE (RFC 1951), whose code bits arrive
// least significant bit first. One lookup of the next bits gives the symbol and its length;
// codes longer than the primary width go through a second-level table.
#pragma once
#include <cstdint>

// Entry layout (32 bits):
//   bits  0-7   code bits to drop (a link: the primary width)
//   bits  8-11  kind, below
//   bits 12-15  extra bits that follow the code (a link: the second-level width)
//   bits 16-31  value: the literal byte, a base length or distance, a code length symbol,
//               or a link's offset into the table
enum HuffKind : uint32_t {
    HK_LITERAL = 0,
    HK_LENGTH = 1,  // also distances: value is the base, extra bits follow
    HK_END = 2,     // end of block
    HK_BAD = 4,     // a symbol with no meaning (length 286/287, distance 30/31, empty code)
    HK_SYMBOL = 5,  // code length alphabet: value is the symbol
    HK_MISSING = 6, // code length alphabet: bits that match no code
    HK_LINK = 8,    // look again in the second-level table (a bit of its own: one test)
};

constexpr uint32_t huff_entry(uint32_t kind, uint32_t extra, uint32_t value) {
    return (value << 16) | (extra << 12) | (kind << 8);
}
inline uint32_t huff_bits(uint32_t e) {
    return e & 0xFF;
}
inline uint32_t huff_kind(uint32_t e) {
    return (e >> 8) & 0xF;
}
inline uint32_t huff_extra(uint32_t e) {
    return (e >> 12) & 0xF;
}
inline uint32_t huff_value(uint32_t e) {
    return e >> 16;
}
inline bool huff_is_literal(uint32_t e) {
    return (e & 0xF00) == 0;
}
inline bool huff_is_link(uint32_t e) {
    return (e & (HK_LINK << 8)) != 0;
}

constexpr int HUFF_MAX_BITS = 15;
// Room for a 10-bit primary table plus a 32-entry second level for each of 288 symbols.
constexpr int HUFF_TABLE_SIZE = 1024 + 288 * 32;

struct HuffTable {
    uint32_t entries[HUFF_TABLE_SIZE];
    uint32_t primary_mask; // (1 << primary width) - 1
    int max_length;        // longest code; 0 for an empty code
};

// Builds the table for `count` code lengths. meaning[s] is the entry template of symbol s.
// Bit strings that match no code (an incomplete code) decode as `missing` after dropping
// max_length + 1 bits. Returns false for an over-subscribed code.
bool huff_build(HuffTable* table, const uint8_t* lengths, int count, const uint32_t* meaning,
                uint32_t missing, int primary_bits);

// The entry for the next code in `bits` (at least 16 valid bits, first bit in bit 0), from
// the table's entries and primary mask (callers in hot loops keep both in registers).
inline uint32_t huff_lookup(const uint32_t* entries, uint32_t primary_mask, uint64_t bits) {
    uint32_t e = entries[bits & primary_mask];
    if (huff_is_link(e))
        e = entries[huff_value(e) + ((bits >> huff_bits(e)) & ((1u << huff_extra(e)) - 1))];
    return e;
}
inline uint32_t huff_lookup(const HuffTable& table, uint64_t bits) {
    return huff_lookup(table.entries, table.primary_mask, bits);
}
