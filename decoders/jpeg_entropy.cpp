// Entropy-coded segment reader and Huffman symbol decoding.
//
// Bits are taken most significant first from the reader's whole-file window; a 0xFF data byte
// is followed by a stuffed 0x00 that is skipped. A 0xFF followed by anything else is a marker
// (and so is the end of the file): the reader never moves past it and feeds zero bits from
// then on, counting them so that the scan decoders can tell coded bits from filler.
#include "decoders/jpeg.h"

#include "core/reader.h"
#include "core/status.h"
#include "shell/services.h"

#include <cstdio>

static const uint8_t* s_data;
static long s_size;
static long s_pos;        // next byte to fetch
static uint64_t s_acc;    // pending bits, next bit in the top bit
static int s_count;       // bits in s_acc
static int s_filler;      // zero bits appended after the marker (the low end of s_acc)
static bool s_at_end;     // the fetch position is on a marker or the end of the file
static bool s_overrun;    // a decode consumed filler bits

static void fill() {
    while (s_count <= 56) {
        unsigned byte = 0;
        if (s_at_end) {
            s_filler += 8;
        } else if (s_pos >= s_size) {
            s_at_end = true;
            continue;
        } else {
            byte = s_data[s_pos];
            if (byte == 0xFF) {
                if (s_pos + 1 < s_size && s_data[s_pos + 1] == 0) {
                    s_pos += 2;
                } else {
                    s_at_end = true;
                    continue;
                }
            } else {
                s_pos++;
            }
        }
        s_acc |= static_cast<uint64_t>(byte) << (56 - s_count);
        s_count += 8;
    }
}

static inline void consume(int n) {
    s_acc <<= n;
    s_count -= n;
    if (s_count < s_filler) {
        s_overrun = true;
        s_filler = s_count;
    }
}

void ent_begin() {
    s_data = rd_window();
    s_size = rd_window_size();
    s_pos = static_cast<long>(rd_tell() - rd_window_base());
    if (s_pos < 0 || s_pos > s_size) s_pos = s_size;
    s_acc = 0;
    s_count = 0;
    s_filler = 0;
    s_at_end = false;
    s_overrun = false;
}

// Leaves the reader on the first byte after the coded data that was used: whole bytes that
// were fetched but not consumed are given back (a stuffed 0xFF 0x00 pair counts as one).
void ent_end() {
    int unread_bytes = (s_count - s_filler) / 8;
    long pos = s_pos;
    for (; unread_bytes > 0 && pos > 0; --unread_bytes) {
        if (pos >= 2 && s_data[pos - 1] == 0 && s_data[pos - 2] == 0xFF) pos -= 2;
        else pos -= 1;
    }
    // Some encoders pad the last byte with a stuffed 0xFF 0x00 right before the marker.
    if (pos + 3 < s_size && s_data[pos] == 0xFF && s_data[pos + 1] == 0 &&
        s_data[pos + 2] == 0xFF && s_data[pos + 3] != 0)
        pos += 2;
    rd_seek(pos + rd_window_base(), 0);
}

bool ent_at_marker() {
    if (s_overrun) return true;
    if (s_count - s_filler <= 0 && !s_at_end) fill();
    return s_at_end && s_count - s_filler <= 0;
}

bool ent_overrun() { return s_overrun; }

int ent_bit() {
    if (s_count < 1) fill();
    int bit = static_cast<int>(s_acc >> 63);
    consume(1);
    return bit;
}

int ent_bits(int n) {
    if (n <= 0) return 0;
    if (s_count < n) fill();
    int value = static_cast<int>(s_acc >> (64 - n));
    consume(n);
    return value;
}

int ent_extend(int value, int bits) {
    if (bits == 0) return 0;
    return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value;
}

// Equivalent to the bit-by-bit search over `lengths`: after L + 1 bits the code is found when
// lengths[value] == L. The first HUFF_FAST_BITS steps are precomputed in `fast`.
int ent_symbol(const HuffTable* table, const char* label) {
    if (s_count < 16) fill();
    unsigned entry = table->fast[s_acc >> (64 - HUFF_FAST_BITS)];
    if (entry) {
        consume(static_cast<int>(entry >> 8));
        return static_cast<int>(entry & 0xFF);
    }
    for (int length = HUFF_FAST_BITS; length < 16; ++length) {
        unsigned value = static_cast<unsigned>(s_acc >> (63 - length));
        if (table->lengths[value] == length) {
            consume(length + 1);
            return table->symbols[value];
        }
    }
    unsigned value = static_cast<unsigned>(s_acc >> 48);
    consume(16);
    char text[80];
    std::snprintf(text, sizeof text, "CODE HUFF %s NON TROUV %u pos %lx", label, value,
                  static_cast<unsigned long>(s_pos + rd_window_base()));
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
    }
}
