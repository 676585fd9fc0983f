#include "decoders/huffman_table.h"

namespace {

uint32_t reverse_bits(uint32_t code, int length) {
    uint32_t r = 0;
    for (int i = 0; i < length; i++) {
        r = (r << 1) | (code & 1);
        code >>= 1;
    }
    return r;
}

void fill(uint32_t* entries, uint32_t first, uint32_t size, uint32_t step, uint32_t entry) {
    for (uint32_t i = first; i < size; i += step) entries[i] = entry;
}

} // namespace

bool huff_build(HuffTable* table, const uint8_t* lengths, int count, const uint32_t* meaning,
                uint32_t missing, int primary_bits) {
    int per_length[HUFF_MAX_BITS + 1] = {};
    int max_length = 0;
    for (int s = 0; s < count; s++) {
        per_length[lengths[s]]++;
        if (lengths[s] > max_length) max_length = lengths[s];
    }
    per_length[0] = 0;
    table->max_length = max_length;

    if (max_length == 0) {
        // Empty code: any use of it is bad data.
        table->primary_mask = 0;
        table->entries[0] = huff_entry(HK_BAD, 0, 0);
        return true;
    }

    // More codes of some length than the tree has room for cannot be decoded.
    int left = 1;
    for (int len = 1; len <= HUFF_MAX_BITS; len++) {
        left = left * 2 - per_length[len];
        if (left < 0) return false;
    }

    uint32_t next_code[HUFF_MAX_BITS + 2] = {};
    uint32_t code = 0;
    for (int len = 1; len <= HUFF_MAX_BITS; len++) {
        code = (code + per_length[len - 1]) << 1;
        next_code[len] = code;
    }

    const int width = max_length < primary_bits ? max_length : primary_bits;
    const uint32_t size = 1u << width;
    const uint32_t unmatched = missing | uint32_t(max_length + 1);
    table->primary_mask = size - 1;
    fill(table->entries, 0, size, 1, unmatched);

    uint32_t next_link = size;
    const int link_width = max_length - width;
    for (int s = 0; s < count; s++) {
        const int len = lengths[s];
        if (!len) continue;
        const uint32_t reversed = reverse_bits(next_code[len]++, len);
        const uint32_t entry = meaning[s] | uint32_t(len);
        if (len <= width) {
            fill(table->entries, reversed, size, 1u << len, entry);
            continue;
        }
        uint32_t& head = table->entries[reversed & (size - 1)];
        if (huff_kind(head) != HK_LINK) {
            fill(table->entries, next_link, next_link + (1u << link_width), 1, unmatched);
            head = huff_entry(HK_LINK, uint32_t(link_width), next_link) | uint32_t(width);
            next_link += 1u << link_width;
        }
        const uint32_t base = huff_value(head);
        for (uint32_t i = reversed >> width; i < (1u << link_width); i += 1u << (len - width))
            table->entries[base + i] = entry;
    }
    return true;
}
