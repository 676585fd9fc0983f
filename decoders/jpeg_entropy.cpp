// Entropy-coded segment reader: refills, positioning and the slow Huffman search.
#include "decoders/jpeg_entropy.h"

#include "core/reader.h"
#include "core/status.h"
#include "core/services.h"

#include <cstdio>

EntropyState g_ent;

namespace {

void point_at_reader(EntropyState& e) {
    e.data = rd_window();
    e.base = rd_window_base();
    e.size = rd_window_size();
    e.held = rd_window_held();
    e.last_window = e.base + e.size >= rd_size();
    e.pos = static_cast<long>(rd_tell() - e.base);
    if (e.pos < 0 || e.pos > e.size) e.pos = e.size;
}

// Moves the window on to the fetch position.
void next_window(EntropyState& e) {
    rd_seek(e.base + e.pos, 0);
    point_at_reader(e);
}

// A byte of the file near the fetch position; the ones before the window come from the file.
unsigned byte_at(const EntropyState& e, long long offset) {
    long long i = offset - e.base;
    if (i >= 0 && i < e.held) return e.data[i];
    uint8_t b = 0;
    rd_read_at(&b, offset, 1);
    return b;
}

} // namespace

void ent_fill() {
    EntropyState& e = g_ent;
    while (e.count <= 56) {
        unsigned byte = 0;
        if (e.at_end) {
            e.filler += 8;
        } else if (e.pos >= e.size) {
            if (e.last_window)
                e.at_end = true;
            else
                next_window(e);
            continue;
        } else {
            byte = e.data[e.pos];
            if (byte == 0xFF) {
                if (e.pos + 1 < e.held && e.data[e.pos + 1] == 0) {
                    e.pos += 2;
                } else {
                    e.at_end = true;
                    continue;
                }
            } else {
                e.pos++;
            }
        }
        e.acc |= static_cast<uint64_t>(byte) << (56 - e.count);
        e.count += 8;
    }
}

void ent_begin() {
    EntropyState& e = g_ent;
    point_at_reader(e);
    e.acc = 0;
    e.count = 0;
    e.filler = 0;
    e.at_end = false;
    e.overrun = false;
}

// Leaves the reader on the first byte after the coded data that was used: whole bytes that
// were fetched but not consumed are given back (a stuffed 0xFF 0x00 pair counts as one).
void ent_end() {
    const EntropyState& e = g_ent;
    int unread_bytes = (e.count - e.filler) / 8;
    long long pos = e.base + e.pos;
    for (; unread_bytes > 0 && pos > 0; --unread_bytes) {
        if (pos >= 2 && byte_at(e, pos - 1) == 0 && byte_at(e, pos - 2) == 0xFF)
            pos -= 2;
        else
            pos -= 1;
    }
    // Some encoders pad the last byte with a stuffed 0xFF 0x00 right before the marker.
    if (pos + 3 < rd_size() && byte_at(e, pos) == 0xFF && byte_at(e, pos + 1) == 0 &&
        byte_at(e, pos + 2) == 0xFF && byte_at(e, pos + 3) != 0)
        pos += 2;
    rd_seek(pos, 0);
}

bool ent_at_marker() {
    EntropyState& e = g_ent;
    if (e.overrun) return true;
    if (e.count - e.filler <= 0 && !e.at_end) ent_fill();
    return e.at_end && e.count - e.filler <= 0;
}

int ent_symbol_slow(const HuffTable* table, const char* label) {
    EntropyState& e = g_ent;
    for (int length = HUFF_FAST_BITS; length < 16; ++length) {
        unsigned value = static_cast<unsigned>(e.acc >> (63 - length));
        if (table->lengths[value] == length) {
            ent_consume(length + 1);
            return table->symbols[value];
        }
    }
    unsigned value = static_cast<unsigned>(e.acc >> 48);
    ent_consume(16);
    char text[80];
    std::snprintf(text, sizeof text, "CODE HUFF %s NON TROUV %u pos %lx", label, value,
                  static_cast<unsigned long>(e.base + e.pos));
    log_line(text);
    return -1;
}

void huff_build_fast(HuffTable* table) {
    for (unsigned prefix = 0; prefix < (1u << HUFF_FAST_BITS); ++prefix) {
        uint16_t entry = 0;
        for (int length = 0; length < HUFF_FAST_BITS; ++length) {
            unsigned value = prefix >> (HUFF_FAST_BITS - 1 - length);
            if (table->lengths[value] == length) {
                entry = static_cast<uint16_t>((length + 1) << 8 | table->symbols[value]);
                break;
            }
        }
        table->fast[prefix] = entry;
        uint32_t value_entry = 0;
        int length = entry >> 8, rs = entry & 0xFF, size = rs & 15;
        if (entry && size && length + size <= HUFF_FAST_BITS) {
            int bits =
                static_cast<int>(prefix >> (HUFF_FAST_BITS - length - size)) & ((1 << size) - 1);
            int value = ent_extend(bits, size);
            value_entry = static_cast<uint32_t>(static_cast<uint16_t>(value)) << 16 |
                          static_cast<uint32_t>(rs >> 4) << 8 |
                          static_cast<uint32_t>(length + size);
        }
        table->ac_value[prefix] = value_entry;
    }
}
