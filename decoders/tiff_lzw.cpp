// TIFF LZW: codes of 9 to 12 bits, most significant bit first, with the early change of width
// (10 bits after entry 510, 11 after 1022, 12 after 2046); 256 clears the table, 257 ends the
// strip. Each entry is its prefix code plus one byte, so a strip is decoded row by row with a
// table of fixed size, whatever the strip's length: a string is written backwards along its
// prefix chain straight into the row, and the part of a string that runs past the end of a
// row waits for the next row.
#include "decoders/tiff.h"

#include "core/mem.h"
#include "core/services.h"
#include "core/status.h"

#include <cstring>

namespace {

constexpr int k_clear = 256;
constexpr int k_end = 257;
constexpr int k_codes = 4096;

} // namespace

struct LzwDecoder {
    TiffFeed* feed;
    uint64_t bits;
    int bit_count;
    int width;    // bits of the next code
    int last;     // last assigned code
    int previous; // previous code; -1 before the first
    bool ended;
    int pending_at, pending_count; // tail of a string that did not fit the last row
    uint16_t prefix[k_codes];
    uint16_t length[k_codes];
    uint8_t suffix[k_codes];
    uint8_t first[k_codes];
    uint8_t pending[k_codes];
};

namespace {

void bad_code(LzwDecoder* z, const char* why) {
    log_line(why);
    g_status = ST_BAD_DATA;
    z->ended = true;
}

// The decoder's working values, held in locals while a row is decoded so that they stay in
// registers: writes to the row could otherwise alias them.
struct Cursor {
    const uint8_t* next;
    const uint8_t* end;
    uint64_t bits;
    int count; // bits in the buffer
    int width;
    int last;
    int previous;
};

Cursor cursor_of(const LzwDecoder* z) {
    return Cursor{z->feed->next, z->feed->end, z->bits,    z->bit_count,
                  z->width,      z->last,      z->previous};
}

void keep_cursor(LzwDecoder* z, const Cursor& c) {
    z->feed->next = c.next;
    z->feed->end = c.end;
    z->bits = c.bits;
    z->bit_count = c.count;
    z->width = c.width;
    z->last = c.last;
    z->previous = c.previous;
}

// Next piece of the strip's bytes; false when they are used up.
bool refill(LzwDecoder* z, Cursor& c) {
    z->feed->next = c.next;
    if (!feed_refill(z->feed)) return false;
    c.next = z->feed->next;
    c.end = z->feed->end;
    return true;
}

// The next code, or -1 when the strip's bytes end first.
inline int read_code(LzwDecoder* z, Cursor& c) {
    while (c.count < c.width) {
        if (c.end - c.next >= 4) {
            const uint8_t* p = c.next;
            c.bits = c.bits << 32 | uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 |
                     uint32_t(p[2]) << 8 | p[3];
            c.next += 4;
            c.count += 32;
        } else if (c.next < c.end) {
            c.bits = c.bits << 8 | *c.next++;
            c.count += 8;
        } else if (!refill(z, c)) {
            return -1;
        }
    }
    c.count -= c.width;
    return static_cast<int>((c.bits >> c.count) & ((1u << c.width) - 1));
}

// Writes the string of code backwards so that it ends at end.
inline void write_string(const LzwDecoder* z, int code, uint8_t* end) {
    while (code > k_end) {
        *--end = z->suffix[code];
        code = z->prefix[code];
    }
    *--end = static_cast<uint8_t>(code);
}

// Reads codes until one with a string to output; -1 when the strip is over (or failed).
inline int next_string_code(LzwDecoder* z, Cursor& c) {
    int code = read_code(z, c);
    if (code < 0 || code == k_end) return -1;
    if (code == k_clear) {
        c.last = k_end;
        c.width = 9;
        do code = read_code(z, c);
        while (code == k_clear);
        if (code < 0 || code == k_end) return -1;
        if (code > k_end) {
            bad_code(z, "TIFF : code LZW invalide apres effacement");
            return -1;
        }
        c.previous = code;
        return code;
    }
    if (code > c.last + 1 || (code == c.last + 1 && c.previous < 0)) {
        // Stray bits at the very end of a strip are no error.
        if (c.next == c.end && !refill(z, c) && !g_status) return -1;
        bad_code(z, "TIFF : code LZW hors table");
        return -1;
    }
    if (c.previous >= 0 && c.last + 1 < k_codes) {
        int added = ++c.last;
        z->prefix[added] = static_cast<uint16_t>(c.previous);
        z->length[added] = static_cast<uint16_t>(z->length[c.previous] + 1);
        z->first[added] = z->first[c.previous];
        z->suffix[added] = z->first[code == added ? c.previous : code];
    } else if (code > c.last) {
        bad_code(z, "TIFF : table LZW pleine");
        return -1;
    }
    c.previous = code;
    if (c.last >= (1 << c.width) - 2 && c.width < 12) c.width++;
    return code;
}

} // namespace

LzwDecoder* lzw_open(TiffFeed* feed) {
    LzwDecoder* z = nullptr;
    if (!mem_alloc(z, sizeof(LzwDecoder))) return nullptr;
    z->feed = feed;
    z->bits = 0;
    z->bit_count = 0;
    z->previous = -1;
    z->ended = false;
    z->pending_at = z->pending_count = 0;
    z->last = k_end;
    z->width = 9;
    for (int i = 0; i < 256; i++) {
        z->prefix[i] = 0;
        z->length[i] = 1;
        z->suffix[i] = z->first[i] = static_cast<uint8_t>(i);
    }
    // Codes written least significant bit first (the early LZW of old writers) start with a
    // zero byte followed by one whose low bit is set; they are refused, not shown as noise.
    if (feed_refill(feed) && feed->end - feed->next >= 2 && feed->next[0] == 0 &&
        (feed->next[1] & 1)) {
        log_line("TIFF : ancien codage LZW non gere");
        g_status = ST_UNKNOWN_FORMAT;
        z->ended = true;
    }
    return z;
}

bool lzw_row(LzwDecoder* z, uint8_t* out, long row_bytes) {
    if (!z) return false;
    long done = 0;
    if (z->pending_count) {
        long n = z->pending_count < row_bytes ? z->pending_count : row_bytes;
        std::memcpy(out, z->pending + z->pending_at, static_cast<size_t>(n));
        z->pending_at += static_cast<int>(n);
        z->pending_count -= static_cast<int>(n);
        done = n;
    }
    Cursor c = cursor_of(z);
    while (done < row_bytes) {
        int code = z->ended ? -1 : next_string_code(z, c);
        if (code < 0) {
            z->ended = true;
            break;
        }
        if (code <= k_end) {
            out[done++] = static_cast<uint8_t>(code);
            continue;
        }
        long n = z->length[code];
        if (n <= row_bytes - done) {
            write_string(z, code, out + done + n);
            done += n;
            continue;
        }
        write_string(z, code, z->pending + n);
        long fit = row_bytes - done;
        std::memcpy(out + done, z->pending, static_cast<size_t>(fit));
        z->pending_at = static_cast<int>(fit);
        z->pending_count = static_cast<int>(n - fit);
        done = row_bytes;
    }
    keep_cursor(z, c);
    return done == row_bytes;
}

void lzw_close(LzwDecoder*& lzw) {
    mem_free(lzw);
}
