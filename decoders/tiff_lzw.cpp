// TIFF LZW: codes of 9 to 12 bits, most significant bit first, with the early change of width
// (10 bits after entry 510, 11 after 1022, 12 after 2046); 256 clears the table, 257 ends the
// strip.
//
// The table keeps no strings: an entry is the place in the decoded output where one
// occurrence of its string starts, and its length (a new entry is the previous string, which
// was just output, plus the first byte after it). Output therefore stays in a history buffer
// for as long as entries may point into it: until the next clear code, which lets it be
// compacted to the bytes not yet handed out as rows. A stream whose table fills without a
// clear code would keep its whole output; its strings are copied once into a frozen table
// instead, and the history is compacted after every row.
#include "decoders/tiff.h"

#include "core/mem.h"
#include "core/services.h"
#include "core/status.h"

#include <cstring>

namespace {

constexpr int k_clear = 256;
constexpr int k_end = 257;
constexpr int k_codes = 4096;
// Room kept free behind the output: the longest string, one byte more, and the eight-byte
// copies' overrun.
constexpr long k_headroom = k_codes + 16;
// The history and the frozen strings begin with the 256 single bytes, so that every code,
// single bytes included, is copied the same way.
constexpr long k_literals = 256;
constexpr long long k_max_history = 1 << 30;

struct Entry {
    uint32_t start; // where the string lies in the history (or in the frozen table)
    uint32_t length;
};

} // namespace

struct LzwDecoder {
    TiffFeed* feed;
    uint64_t bits;
    int bit_count;
    int width;        // bits of the next code
    int last;         // last assigned code
    int previous;     // previous code; -1 before the first
    long previous_at; // where its string was output
    bool ended;
    bool frozen;      // the entries point into frozen, not into the history
    uint8_t* history; // holder
    long capacity;
    long used;        // bytes of the history decoded so far
    long delivered;   // bytes of the history handed out as rows
    uint8_t* strings; // holder: the frozen table's strings
    Entry table[k_codes];
};

namespace {

void bad_code(LzwDecoder* z, const char* why) {
    log_line(why);
    g_status = ST_BAD_DATA;
    z->ended = true;
}

// The history's undelivered bytes move back behind the single bytes at its start; nothing
// else may point into it any more.
void compact(LzwDecoder* z) {
    long left = z->used - z->delivered;
    if (z->delivered > k_literals && left > 0)
        std::memmove(z->history + k_literals, z->history + z->delivered, static_cast<size_t>(left));
    z->used = k_literals + left;
    z->previous_at -= z->delivered - k_literals;
    z->delivered = k_literals;
}

bool make_room(LzwDecoder* z, long needed) {
    if (needed <= z->capacity) return true;
    // Doubling, but never past what one block may hold.
    long long doubled = 2LL * z->capacity;
    long capacity =
        doubled > needed && doubled <= k_max_history ? static_cast<long>(doubled) : needed;
    // Bytes past the output are never handed out: the eight-byte copies may read and write
    // them before they are decoded, so they need no clearing.
    if (!mem_realloc(z->history, static_cast<size_t>(capacity))) {
        z->ended = true;
        return false;
    }
    z->capacity = capacity;
    return true;
}

// The table is full and no clear code came: its strings are copied out of the history.
void freeze(LzwDecoder* z) {
    size_t total = k_literals + 16;
    for (int c = k_end + 1; c < k_codes; c++) total += z->table[c].length;
    if (!mem_realloc(z->strings, total)) {
        z->ended = true;
        return;
    }
    std::memcpy(z->strings, z->history, k_literals);
    uint32_t at = k_literals;
    for (int c = k_end + 1; c < k_codes; c++) {
        Entry& e = z->table[c];
        std::memcpy(z->strings + at, z->history + e.start, e.length);
        e.start = at;
        at += e.length;
    }
    z->frozen = true;
}

// The decoder's working values, held in locals while codes are decoded so that they stay in
// registers: writes to the output could otherwise alias them.
struct Cursor {
    const uint8_t* next;
    const uint8_t* end;
    uint64_t bits;
    int count; // bits in the buffer
    int width;
    int last;
    int previous;
};

bool refill(LzwDecoder* z, Cursor& c) {
    z->feed->next = c.next;
    if (!feed_refill(z->feed)) return false;
    c.next = z->feed->next;
    c.end = z->feed->end;
    return true;
}

int read_code_slowly(LzwDecoder* z, Cursor& c) {
    while (c.count < c.width) {
        if (c.next < c.end) {
            c.bits = c.bits << 8 | *c.next++;
            c.count += 8;
        } else if (!refill(z, c)) {
            return -1;
        }
    }
    c.count -= c.width;
    return static_cast<int>((c.bits >> c.count) & ((1u << c.width) - 1));
}

// The next code, or -1 when the strip's bytes end first. Four bytes are taken at a time while
// the piece holds them.
inline int read_code(LzwDecoder* z, Cursor& c) {
    if (c.count < c.width) {
        if (c.end - c.next < 4) return read_code_slowly(z, c);
        const uint8_t* p = c.next;
        c.bits =
            c.bits << 32 | uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        c.next += 4;
        c.count += 32;
    }
    c.count -= c.width;
    return static_cast<int>((c.bits >> c.count) & ((1u << c.width) - 1));
}

// Copies n bytes, eight at a time (the bytes written past the end are overwritten by the next
// output); from an earlier place of the same buffer only when it lies eight bytes back or more.
inline void copy_string(uint8_t* to, const uint8_t* from, long n, bool apart) {
    if (apart) {
        for (long i = 0; i < n; i += 8) std::memcpy(to + i, from + i, 8);
        return;
    }
    for (long i = 0; i < n; i++) to[i] = from[i];
}

// Decodes codes until the history holds `wanted` undelivered bytes or the strip ends. The
// history's position and base live in locals too; the rare steps (growing, clearing,
// freezing) write them back first.
void decode_until(LzwDecoder* z, long wanted) {
    Cursor c{z->feed->next, z->feed->end, z->bits, z->bit_count, z->width, z->last, z->previous};
    Entry* const table = z->table;
    uint8_t* history = z->history;
    long used = z->used, previous_at = z->previous_at;
    long target = z->delivered + wanted;
    long room = z->capacity - k_headroom; // output may start up to here
    bool ended = z->ended, frozen = z->frozen;
    while (used < target && !ended) {
        if (used > room) {
            z->used = used;
            if (!make_room(z, used + k_headroom)) break;
            history = z->history;
            room = z->capacity - k_headroom;
        }
        int code = read_code(z, c);
        if (code < 0 || code == k_end) {
            ended = true;
            break;
        }
        uint8_t* out = history + used;
        if (code == k_clear) {
            z->frozen = frozen = false;
            c.last = k_end;
            c.width = 9;
            do code = read_code(z, c);
            while (code == k_clear);
            if (code < 0 || code == k_end) {
                ended = true;
                break;
            }
            if (code > k_end) {
                bad_code(z, "TIFF : code LZW invalide apres effacement");
                ended = true;
                break;
            }
            z->used = used;
            z->previous_at = previous_at;
            compact(z);
            used = z->used;
            target = z->delivered + wanted;
            history[used] = static_cast<uint8_t>(code);
            c.previous = code;
            previous_at = used++;
            continue;
        }
        long n;
        if (code <= c.last) {
            const Entry& e = table[code];
            if (frozen)
                copy_string(out, z->strings + e.start, e.length, true);
            else
                copy_string(out, history + e.start, e.length, used - e.start >= 8);
            n = e.length;
        } else if (code == c.last + 1 && c.previous >= 0 && !frozen) {
            // The entry being made: the previous string and its own first byte.
            const Entry& e = table[c.previous];
            const uint8_t* from = history + previous_at;
            copy_string(out, from, e.length, used - previous_at >= 8);
            out[e.length] = *from;
            n = e.length + 1;
        } else {
            // Stray bits at the very end of a strip are no error.
            ended = true;
            if (c.next == c.end && !refill(z, c) && !g_status) break;
            bad_code(z, "TIFF : code LZW hors table");
            break;
        }
        if (c.previous >= 0 && c.last + 1 < k_codes) {
            Entry& added = table[++c.last];
            added.start = static_cast<uint32_t>(previous_at);
            added.length = table[c.previous].length + 1;
            if (c.last + 1 == k_codes) {
                z->used = used + n;
                freeze(z);
                ended = z->ended;
                frozen = z->frozen;
            }
        }
        c.previous = code;
        previous_at = used;
        used += n;
        if (c.last >= (1 << c.width) - 2 && c.width < 12) c.width++;
    }
    z->used = used;
    z->previous_at = previous_at;
    z->ended = z->ended || ended;
    z->feed->next = c.next;
    z->feed->end = c.end;
    z->bits = c.bits;
    z->bit_count = c.count;
    z->width = c.width;
    z->last = c.last;
    z->previous = c.previous;
}

// One closed decoder is kept with its history for the next strip: images of many small strips
// then decode without a block made and freed per strip.
LzwDecoder* g_spare = nullptr;
constexpr long k_spare_history = 1 << 20;

} // namespace

LzwDecoder* lzw_open(TiffFeed* feed) {
    LzwDecoder* z = g_spare;
    g_spare = nullptr;
    if (!z) {
        if (!mem_alloc(z, sizeof(LzwDecoder))) return nullptr;
        std::memset(z, 0, sizeof(LzwDecoder) - sizeof z->table);
    }
    uint8_t* history = z->history;
    uint8_t* strings = z->strings;
    long capacity = z->capacity;
    std::memset(z, 0, sizeof(LzwDecoder) - sizeof z->table);
    z->history = history;
    z->strings = strings;
    z->capacity = capacity;
    z->used = z->delivered = k_literals;
    z->feed = feed;
    z->previous = -1;
    z->last = k_end;
    z->width = 9;
    // Only the single bytes need entries now: codes above are filled as they are assigned.
    for (int i = 0; i < 256; i++) z->table[i] = Entry{static_cast<uint32_t>(i), 1};
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
    if (z->capacity < k_literals + row_bytes + k_headroom) {
        if (!make_room(z, k_literals + row_bytes + k_headroom)) return false;
        for (int i = 0; i < k_literals; i++) z->history[i] = static_cast<uint8_t>(i);
    }
    decode_until(z, row_bytes);
    if (z->used - z->delivered < row_bytes) return false;
    std::memcpy(out, z->history + z->delivered, static_cast<size_t>(row_bytes));
    z->delivered += row_bytes;
    // Entries of a frozen table point elsewhere: the history needs only what is not out yet.
    if (z->frozen) compact(z);
    return true;
}

void lzw_close(LzwDecoder*& lzw) {
    if (!lzw) return;
    if (!g_spare && lzw->capacity <= k_spare_history) {
        g_spare = lzw;
        lzw = nullptr;
        return;
    }
    mem_free(lzw->history);
    mem_free(lzw->strings);
    mem_free(lzw);
}
