// GIF LZW decoding. The string table lives inside the output: each code is a start offset
// into the index buffer and a length, so a new string is the previous one (already written
// right before the output position) plus one byte. Codes are read least significant bit
// first across the data sub-blocks straight from the reader's whole-file window.
#include "decoders/gif.h"

#include "core/reader.h"
#include "core/status.h"
#include "core/services.h"

#include <cstring>

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxCodeSize = 12;
constexpr int kCodeUnread = -1; // the data ended (terminator) before the code was complete
constexpr int kReadFailed = -2; // status set

struct LzwState {
    int clear_code, end_code;
    int initial_size, code_size;
    int last_code;             // last assigned code
    int previous;              // previous code, -1 before the first one of the image
    int64_t output;            // offset of the next byte in the index buffer
    uint32_t start[kMaxCodes]; // where each code's string lies in the index buffer
    uint16_t length[kMaxCodes];
};

struct SubBlockReader {
    const uint8_t* file;
    int64_t file_size;
    int64_t position;  // next byte to take into the bit buffer
    int64_t block_end; // end of the sub-block being read
    uint64_t bits;
    int bit_count;
};

LzwState g_lzw;
SubBlockReader g_in;

bool bits_remain() {
    return g_in.bit_count > 0 || g_in.position < g_in.block_end;
}

// One code of the current size. A code that runs on into the next sub-block steps over its
// length byte (and over the one after for a code spread across three sub-blocks).
int read_code() {
    SubBlockReader& in = g_in;
    int size = g_lzw.code_size;
    bool crossed = false;
    while (in.bit_count < size) {
        if (in.position < in.block_end) {
            if (in.position >= in.file_size) {
                g_status = ST_FILE;
                return kReadFailed;
            }
            in.bits |= uint64_t(in.file[in.position++]) << in.bit_count;
            in.bit_count += 8;
            continue;
        }
        if (!crossed) {
            if (in.block_end + 1 >= in.file_size) {
                g_status = ST_FILE;
                return kReadFailed;
            }
            unsigned next = in.file[in.block_end];
            if (next == 0) {
                in.position = in.block_end;
                in.bits = 0, in.bit_count = 0;
                return kCodeUnread;
            }
            crossed = true;
        } else if (in.block_end >= in.file_size) {
            g_status = ST_FILE;
            return kReadFailed;
        }
        unsigned next = in.file[in.block_end];
        in.position = in.block_end + 1;
        in.block_end = in.position + next;
    }
    int code = static_cast<int>(in.bits & ((1u << size) - 1));
    in.bits >>= size;
    in.bit_count -= size;
    return code;
}

// Output beyond the buffer is dropped; the position still moves so the caller sees the limit.
void put_bytes(const uint8_t* src, int64_t n) {
    int64_t room = g_gif.buffer_size - g_lzw.output;
    if (room > 0)
        memcpy(g_gif.index_buffer + g_lzw.output, src, static_cast<size_t>(n < room ? n : room));
    g_lzw.output += n;
}

void put_byte(uint8_t b) {
    if (g_lzw.output < g_gif.buffer_size) g_gif.index_buffer[g_lzw.output] = b;
    g_lzw.output++;
}

bool is_root(int code) {
    return code < g_lzw.clear_code;
}

uint8_t first_byte_of(int code) {
    return is_root(code) ? static_cast<uint8_t>(code) : g_gif.index_buffer[g_lzw.start[code]];
}

void put_string(int code) {
    if (is_root(code)) {
        put_byte(static_cast<uint8_t>(code));
        return;
    }
    put_bytes(g_gif.index_buffer + g_lzw.start[code], g_lzw.length[code]);
}

int length_of(int code) {
    return is_root(code) ? 1 : g_lzw.length[code];
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
        int64_t at = z.output;
        uint8_t first = first_byte_of(z.previous);
        put_string(z.previous);
        put_byte(first);
        z.start[code] = static_cast<uint32_t>(at);
        z.length[code] = static_cast<uint16_t>(length_of(z.previous) + 1);
        z.last_code = code;
    } else {
        if (z.last_code + 1 < kMaxCodes) { // a full table decodes on without new entries
            int added = ++z.last_code;
            z.length[added] = static_cast<uint16_t>(length_of(z.previous) + 1);
            z.start[added] = static_cast<uint32_t>(z.output - length_of(z.previous));
        }
        put_string(code);
    }
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
}

int64_t gif_lzw_output() {
    return g_lzw.output;
}

void gif_image_data(unsigned n) {
    SubBlockReader& in = g_in;
    in.file = rd_window();
    in.file_size = rd_size();
    in.position = rd_tell();
    in.block_end = in.position + n;
    in.bits = 0, in.bit_count = 0;
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
    // The whole file is the window, so codes are read from it directly.
    if (!in.file || rd_window_base() != 0 || rd_window_size() < in.file_size) {
        g_status = ST_FILE;
        return;
    }
    while (bits_remain() && !g_status) {
        if (g_lzw.output > g_gif.output_limit) break; // the rest of the image is dropped
        int code = read_code();
        if (code < 0 || !process_code(code)) break;
    }
    if (!g_status) rd_seek(in.block_end, 0);
}
