// GIF LZW decoding. Each code's string is kept whole in a string store (a new string is the
// previous one plus one byte), so that the output can be copied string by string and need
// not stay in memory: it goes through a band of a few hundred kilobytes of image rows, each
// full row placed on the page at once. Codes are read least significant bit first across the
// data sub-blocks straight from the reader's window, which moves on at its end.
#include "decoders/gif.h"

#include "core/mem.h"
#include "core/reader.h"
#include "core/services.h"
#include "core/status.h"

#include <cstring>

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxCodeSize = 12;
constexpr int kCodeUnread = -1; // the data ended (terminator) before the code was complete
constexpr int kReadFailed = -2; // status set
// No string is longer than the table has codes; the band has this much room past its rows so
// that a string is always copied whole before the band is emptied.
constexpr int64_t kLongestString = kMaxCodes + 1;
// Strings are copied in blocks of this size, which may run past their end: the string store and
// the band keep this much room after their last byte.
constexpr int64_t kCopyBlock = 16;
constexpr int64_t kBandBytes = 256 << 10;

struct LzwState {
    int clear_code, end_code;
    int initial_size, code_size;
    int last_code;             // last assigned code
    int previous;              // previous code, -1 before the first one of the image
    int64_t output;            // bytes of output so far
    uint32_t start[kMaxCodes]; // where each code's string lies in the string store
    uint16_t length[kMaxCodes];
    uint8_t* strings; // the string store
    int64_t strings_used, strings_size;
};

// Image rows on their way to the page: `first_row` is the image row at band[0].
struct OutputBand {
    uint8_t* band;
    int64_t row_bytes; // the image's width
    int64_t rows;      // rows the band holds before it is emptied
    int64_t first_row;
    int64_t used; // bytes written from band[0]
    bool nowhere; // an image without pixels: the output is only counted
};

struct SubBlockReader {
    const uint8_t* window; // the reader's window and the bytes after it
    int64_t base;          // file offset of window[0]
    int64_t held;          // bytes at window
    int64_t file_size;
    int64_t position;  // next byte to take into the bit buffer
    int64_t block_end; // end of the sub-block being read
    uint64_t bits;
    int bit_count;
};

LzwState g_lzw;
OutputBand g_out;
SubBlockReader g_in;

// Most strings are a few bytes long: a block copy or two beats a call to memcpy. Bytes past
// n are written and read too; `to` never lies inside [from, from + n), so the blocks may
// overlap only where no byte of the string is (each goes through a block of its own).
inline void copy_string(uint8_t* to, const uint8_t* from, int64_t n) {
    do {
        uint8_t block[kCopyBlock];
        std::memcpy(block, from, kCopyBlock);
        std::memcpy(to, block, kCopyBlock);
        to += kCopyBlock;
        from += kCopyBlock;
        n -= kCopyBlock;
    } while (n > 0);
}

void point_at_reader() {
    g_in.window = rd_window();
    g_in.base = rd_window_base();
    g_in.held = rd_window_held();
}

// The file byte at the offset: the window moves on when the offset lies beyond it. False
// (status 2) past the end of the file.
bool byte_at(int64_t offset, unsigned* byte) {
    SubBlockReader& in = g_in;
    if (offset - in.base >= in.held || offset < in.base) {
        if (offset >= in.file_size) {
            g_status = ST_FILE;
            return false;
        }
        rd_seek(offset, 0);
        point_at_reader();
    }
    *byte = in.window[offset - in.base];
    return true;
}

bool bits_remain() {
    return g_in.bit_count > 0 || g_in.position < g_in.block_end;
}

// One code of the current size. A code that runs on into the next sub-block steps over its
// length byte (and over the one after for a code spread across three sub-blocks).
int read_code() {
    SubBlockReader& in = g_in;
    int size = g_lzw.code_size;
    bool crossed = false;
    unsigned next = 0;
    while (in.bit_count < size) {
        if (in.position < in.block_end) {
            int64_t i = in.position - in.base;
            if (i < in.held) {
                next = in.window[i];
            } else if (!byte_at(in.position, &next)) {
                return kReadFailed;
            }
            in.position++;
            in.bits |= uint64_t(next) << in.bit_count;
            in.bit_count += 8;
            continue;
        }
        if (!crossed) {
            if (in.block_end + 1 >= in.file_size) {
                g_status = ST_FILE;
                return kReadFailed;
            }
            if (!byte_at(in.block_end, &next)) return kReadFailed;
            if (next == 0) {
                in.position = in.block_end;
                in.bits = 0, in.bit_count = 0;
                return kCodeUnread;
            }
            crossed = true;
        } else if (!byte_at(in.block_end, &next)) {
            return kReadFailed;
        }
        in.position = in.block_end + 1;
        in.block_end = in.position + next;
    }
    int code = static_cast<int>(in.bits & ((1u << size) - 1));
    in.bits >>= size;
    in.bit_count -= size;
    return code;
}

// Puts band rows [0, count) on the page; rows past the image's height are dropped.
void place_band_rows(int64_t count) {
    for (int64_t r = 0; r < count && !g_status; r++) {
        int64_t row = g_out.first_row + r;
        if (row >= g_gif.height) break;
        gif_place_row(static_cast<int>(row), g_out.band + r * g_out.row_bytes,
                      static_cast<int>(g_out.row_bytes));
    }
}

// Once the band's rows are full: place them and keep what ran past them.
void empty_band() {
    int64_t full = g_out.rows * g_out.row_bytes;
    place_band_rows(g_out.rows);
    std::memmove(g_out.band, g_out.band + full, static_cast<size_t>(g_out.used - full));
    g_out.used -= full;
    g_out.first_row += g_out.rows;
}

inline void output_done(int64_t n) {
    g_lzw.output += n;
    if (g_out.nowhere) {
        g_out.used = 0;
        return;
    }
    if (g_out.used >= g_out.rows * g_out.row_bytes) empty_band();
}

void put_byte(uint8_t b) {
    g_out.band[g_out.used++] = b;
    output_done(1);
}

void put_string(int code) {
    if (code < g_lzw.clear_code) return put_byte(static_cast<uint8_t>(code));
    int64_t n = g_lzw.length[code];
    copy_string(g_out.band + g_out.used, g_lzw.strings + g_lzw.start[code], n);
    g_out.used += n;
    output_done(n);
}

bool is_root(int code) {
    return code < g_lzw.clear_code;
}

uint8_t first_byte_of(int code) {
    return is_root(code) ? static_cast<uint8_t>(code) : g_lzw.strings[g_lzw.start[code]];
}

int length_of(int code) {
    return is_root(code) ? 1 : g_lzw.length[code];
}

// Gives `code` the string of `prefix` followed by `last`.
bool add_string(int code, int prefix, uint8_t last) {
    LzwState& z = g_lzw;
    int64_t n = length_of(prefix) + 1;
    if (z.strings_used + n > z.strings_size) {
        int64_t size = z.strings_size * 2 > z.strings_used + n ? z.strings_size * 2
                                                               : z.strings_used + n + 65536;
        if (!mem_realloc(z.strings, static_cast<size_t>(size + kCopyBlock))) return false;
        z.strings_size = size;
    }
    uint8_t* to = z.strings + z.strings_used;
    if (is_root(prefix))
        to[0] = static_cast<uint8_t>(prefix);
    else
        copy_string(to, z.strings + z.start[prefix], n - 1);
    to[n - 1] = last;
    z.start[code] = static_cast<uint32_t>(z.strings_used);
    z.length[code] = static_cast<uint16_t>(n);
    z.strings_used += n;
    return true;
}

void grow_code_size() {
    if (g_lzw.last_code >= (1 << g_lzw.code_size) - 1 && g_lzw.code_size < kMaxCodeSize)
        g_lzw.code_size++;
}

// Returns false when this sub-block's decoding must stop (end code, unread code, error).
bool process_code(int code) {
    LzwState& z = g_lzw;
    if (code == z.end_code) return false;
    if (code == z.clear_code) {
        z.code_size = z.initial_size;
        z.last_code = z.end_code;
        z.strings_used = 0;
        int first;
        do first = read_code(); // clear codes in a row count as one
        while (first == z.clear_code);
        if (first < 0 || first == z.end_code) return false;
        if (first > z.end_code) {
            log_line("GIF : code LZW invalide apres effacement");
            g_status = ST_BAD_DATA;
            return false;
        }
        put_byte(static_cast<uint8_t>(first));
        z.previous = first;
        grow_code_size();
        return true;
    }
    if (z.previous < 0) {
        // Data that does not open with a clear code: a root code starts the strings.
        if (!is_root(code)) {
            log_line("GIF : premier code LZW invalide");
            g_status = ST_BAD_DATA;
            return false;
        }
        put_byte(static_cast<uint8_t>(code));
        z.previous = code;
        return true;
    }
    if (code > z.last_code) {
        if (code != z.last_code + 1) {
            log_line("GIF : code LZW hors table");
            g_status = ST_BAD_DATA;
            return false;
        }
        if (!add_string(code, z.previous, first_byte_of(z.previous))) return false;
        z.last_code = code;
        put_string(code);
    } else {
        // A full table decodes on without new entries.
        if (z.last_code + 1 < kMaxCodes) {
            if (!add_string(z.last_code + 1, z.previous, first_byte_of(code))) return false;
            z.last_code++;
        }
        put_string(code);
    }
    if (g_status) return false;
    z.previous = code;
    grow_code_size();
    return true;
}

} // namespace

void gif_lzw_start(int m) {
    LzwState& z = g_lzw;
    z.clear_code = 1 << m;
    z.end_code = z.clear_code + 1;
    z.initial_size = z.code_size = m + 1;
    z.last_code = z.end_code;
    z.previous = -1;
    z.output = 0;
    z.strings_used = 0;

    OutputBand& o = g_out;
    o.nowhere = g_gif.width <= 0 || g_gif.height <= 0;
    o.row_bytes = o.nowhere ? 1 : g_gif.width;
    o.rows = kBandBytes / o.row_bytes;
    if (o.rows < 1) o.rows = 1;
    if (o.rows > g_gif.height && !o.nowhere) o.rows = g_gif.height;
    o.first_row = 0;
    o.used = 0;
    mem_free(o.band);
    mem_alloc(o.band, static_cast<size_t>(o.rows * o.row_bytes + kLongestString + kCopyBlock));
}

void gif_lzw_finish() {
    // The rows decoded so far, the last one as far as it goes; the rest keeps the canvas.
    if (g_out.band && !g_out.nowhere && !g_status) {
        int64_t whole = g_out.used / g_out.row_bytes;
        place_band_rows(whole);
        int64_t row = g_out.first_row + whole, part = g_out.used % g_out.row_bytes;
        if (part > 0 && row < g_gif.height && !g_status)
            gif_place_row(static_cast<int>(row), g_out.band + whole * g_out.row_bytes,
                          static_cast<int>(part));
    }
    g_out.used = 0;
}

void gif_lzw_release() {
    mem_free(g_out.band);
    mem_free(g_lzw.strings);
    g_lzw.strings_size = 0;
}

int64_t gif_lzw_output() {
    return g_lzw.output;
}

void gif_image_data(unsigned n) {
    SubBlockReader& in = g_in;
    in.file_size = rd_size();
    in.position = rd_tell();
    in.block_end = in.position + n;
    in.bits = 0, in.bit_count = 0;
    point_at_reader();
    if (in.block_end > in.file_size) {
        if (n == 0x3B) { // the data's terminator is missing but this is the trailer
            gif_end_of_image(n);
            g_gif.end_flag = 1;
            return;
        }
        // The file ends inside this sub-block: its codes are decoded up to the end, where
        // reading on reports the end of the file.
        in.block_end = in.file_size;
    }
    if (!in.window || !g_out.band) {
        if (!g_status) g_status = ST_NO_MEMORY;
        return;
    }
    while (bits_remain() && !g_status) {
        if (g_lzw.output > g_gif.output_limit) break; // the rest of the image is dropped
        int code = read_code();
        if (code < 0 || !process_code(code)) break;
    }
    if (!g_status) rd_seek(in.block_end, 0);
}
