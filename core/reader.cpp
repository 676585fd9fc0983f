// Buffered file reader. The window always starts at a multiple of the buffer size; up to 20
// files stay open, most recently selected first, so decoders that come back to a file find it.
#include "core/reader.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "image/file_entry.h"
#include "platform/sys.h"

#include <cstring>

namespace {

constexpr int k_slots = 20;
constexpr long k_small_file = 16384;
// A window is read together with the bytes that follow it, so that readers working straight
// from the window can look a few bytes across its end.
constexpr long k_lookahead = 16;
// Files that must be held whole are refused above this size (as out of memory).
constexpr long long k_largest_whole_file = 256LL << 20;

struct Slot {
    bool open;
    intptr_t file;
    int entry_id;
    long long size;
    uint8_t* buffer; // buffer size + lookahead bytes
    long buffer_size;
    long long base;
};

long s_window_limit = 0; // largest window an open may choose; 0 for none

// Slot 0 is the current file; slot 20 is the spare used while reordering.
Slot s_slot[k_slots + 1];
long long s_position = 0; // offset of the next byte within the window
unsigned s_mask = 128;    // most-significant-first bit mask
unsigned s_low_mask = 1;  // least-significant-first bit mask

Slot& cur() {
    return s_slot[0];
}
long long offset_now() {
    return cur().base + s_position;
}
bool at_end() {
    return !cur().open || offset_now() >= cur().size;
}

void reset_masks() {
    s_mask = 128;
    s_low_mask = 1;
}

// Bytes of the file from the window's start that the buffer holds: the window and its
// lookahead, fewer at the end of the file.
long long held_from(const Slot& c, long long base) {
    long long left = c.size - base;
    long long whole = c.buffer_size + k_lookahead;
    return left < whole ? (left > 0 ? left : 0) : whole;
}

// Reads the window at the current base; returns the bytes read. A short read at the end leaves
// the rest of the window as it was.
size_t load_window() {
    Slot& c = cur();
    if (c.base < 0 || c.base > c.size) return 0;
    int64_t got = sys_file_read_at(c.file, c.base, c.buffer, held_from(c, c.base));
    return got > 0 ? static_cast<size_t>(got) : 0;
}

void refill() {
    Slot& c = cur();
    if (s_position >= 0 && s_position < c.buffer_size) return;
    long long absolute = c.base + s_position;
    long long base = absolute >= 0
                         ? absolute / c.buffer_size * c.buffer_size
                         : -((-absolute + c.buffer_size - 1) / c.buffer_size) * c.buffer_size;
    c.base = base;
    s_position = absolute - base;
    reset_masks();
    load_window();
}

// Byte-level reads first complete a partly consumed byte.
void complete_byte() {
    if (s_mask < 128) {
        s_position++;
        reset_masks();
        refill();
    }
}

void close_slot(Slot& s) {
    if (s.open) sys_file_close(s.file);
    mem_free(s.buffer);
    s = Slot{false, -1, 0, 0, nullptr, 0, 0};
}

// The name a path is opened by: backslashes become slashes, and a network path ("//host")
// takes backslashes again where the system uses them.
void system_name(const char* path, char* out, size_t size) {
    std::snprintf(out, size, "%s", path);
    for (char* p = out; *p; p++)
        if (*p == '\\') *p = '/';
    if (sys_paths_fold_case() && out[0] == '/' && out[1] == '/')
        for (char* p = out; *p; p++)
            if (*p == '/') *p = '\\';
}

// Bytes of the current window that hold file data.
long long window_data() {
    long long left = cur().size - cur().base;
    return left < cur().buffer_size ? (left > 0 ? left : 0) : cur().buffer_size;
}

void advance_bit() {
    s_mask >>= 1;
    s_low_mask <<= 1;
    if (s_mask == 0) {
        s_position++;
        reset_masks();
        refill();
    }
}

} // namespace

int rd_open(int entry_id, long buffer_size, bool rewind) {
    // Select the file: move its slot to the front, or push a new empty slot in front.
    int found = -1;
    for (int i = 0; i < k_slots; i++)
        if (s_slot[i].open && s_slot[i].entry_id == entry_id) found = i;
    if (found > 0) {
        Slot chosen = s_slot[found];
        std::memmove(&s_slot[1], &s_slot[0], static_cast<size_t>(found) * sizeof(Slot));
        s_slot[0] = chosen;
    } else if (found < 0) {
        std::memmove(&s_slot[1], &s_slot[0], k_slots * sizeof(Slot));
        close_slot(s_slot[k_slots]);
        s_slot[0] = Slot{false, -1, entry_id, 0, nullptr, 0, 0};
    }
    Slot& c = cur();
    if (!c.open) {
        FileEntry* entry = obj_find_as<FileEntry>(CLS_FILE_ENTRY, entry_id);
        if (!entry || !entry->path) return 1;
        char name[4096];
        system_name(entry->path, name, sizeof name);
        intptr_t f = sys_file_open_read(name);
        if (f == -1) return 1;
        int64_t measured = sys_file_size(f);
        long long file_size = measured > 0 ? measured : 0;
        if ((buffer_size == 0 && file_size > k_largest_whole_file) || buffer_size < 0) {
            sys_file_close(f);
            g_status = ST_NO_MEMORY;
            return 1;
        }
        long chosen = (file_size < k_small_file || buffer_size == 0) ? static_cast<long>(file_size)
                                                                     : buffer_size;
        if (s_window_limit > 0 && chosen > s_window_limit) chosen = s_window_limit;
        if (chosen < 1) chosen = 1;
        uint8_t* buffer = nullptr;
        if (!mem_alloc(buffer, static_cast<size_t>(chosen) + k_lookahead)) {
            sys_file_close(f);
            return 1;
        }
        c = Slot{true, f, entry_id, file_size, buffer, chosen, 0};
        s_position = 0;
        reset_masks();
        // Only what the first read leaves unfilled needs clearing.
        size_t got = load_window();
        std::memset(buffer + got, 0, static_cast<size_t>(chosen) + k_lookahead - got);
        return 0;
    }
    if (rewind) {
        c.base = 0;
        s_position = 0;
        reset_masks();
        load_window();
    }
    return 0;
}

void rd_close(int entry_id) {
    for (int i = 0; i < k_slots; i++) {
        if (!s_slot[i].open || s_slot[i].entry_id != entry_id) continue;
        close_slot(s_slot[i]);
        if (i == 0) {
            s_position = 0;
            reset_masks();
        }
    }
}

void rd_set_window_limit(long bytes) {
    s_window_limit = bytes;
}

void rd_close_all() {
    for (Slot& s : s_slot) close_slot(s);
    s_position = 0;
    reset_masks();
}

void rd_seek(long long offset, int whence) {
    if (!cur().open) return;
    complete_byte();
    if (whence == 0)
        s_position = offset - cur().base;
    else if (whence == 1)
        s_position += offset;
    else if (whence == 2)
        s_position = cur().size - cur().base - offset;
    reset_masks();
    refill();
}

long long rd_tell() {
    return offset_now();
}
long long rd_size() {
    return cur().size;
}
const uint8_t* rd_window() {
    return cur().buffer;
}
long rd_window_size() {
    return static_cast<long>(window_data());
}
long rd_window_held() {
    return static_cast<long>(held_from(cur(), cur().base));
}
long long rd_window_base() {
    return cur().base;
}
long rd_position() {
    return static_cast<long>(s_position);
}

void rd_read(void* destination, long count) {
    complete_byte();
    if (at_end()) {
        g_status = ST_FILE;
        return;
    }
    reset_masks();
    uint8_t* out = static_cast<uint8_t*>(destination);
    while (count > 0) {
        long piece = static_cast<long>(cur().buffer_size - s_position);
        if (piece > count) piece = count;
        std::memcpy(out, cur().buffer + s_position, static_cast<size_t>(piece));
        out += piece;
        count -= piece;
        s_position += piece;
        refill();
    }
}

void rd_read_at(void* destination, long long offset, long count) {
    Slot& c = cur();
    if (!c.open || offset < 0 || count < 0 || offset + count >= c.size) {
        g_status = ST_FILE;
        return;
    }
    long long in_window = offset - c.base;
    if (in_window >= 0 && in_window + count < c.buffer_size) {
        std::memcpy(destination, c.buffer + in_window, static_cast<size_t>(count));
        return;
    }
    if (sys_file_read_at(c.file, offset, destination, count) != count) g_status = ST_FILE;
}

void rd_scan(const char* format, void* out) {
    complete_byte();
    if (at_end()) {
        g_status = ST_FILE;
        return;
    }
    // Scan a terminated copy: the window itself has no terminator.
    char text[64];
    long long n = window_data() - s_position;
    if (n > 63) n = 63;
    if (n < 0) n = 0;
    std::memcpy(text, cur().buffer + s_position, static_cast<size_t>(n));
    text[n] = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int assigned = std::sscanf(text, format, out);
#pragma GCC diagnostic pop
    int width = (format[0] && format[1] >= '0' && format[1] <= '9') ? format[1] - '0' : 0;
    s_position += width;
    reset_masks();
    refill();
    if (assigned != 1) g_status = ST_FILE;
}

unsigned rd_byte() {
    complete_byte();
    if (at_end()) {
        g_status = ST_FILE;
        return 0;
    }
    unsigned b = cur().buffer[s_position++];
    refill();
    return b;
}

int rd_sbyte() {
    uint8_t b = 0;
    rd_read(&b, 1);
    return static_cast<int8_t>(b);
}

unsigned rd_u16le() {
    uint8_t b[2] = {0, 0};
    rd_read(b, 2);
    return b[0] | (b[1] << 8);
}

unsigned rd_u16be() {
    uint8_t b[2] = {0, 0};
    rd_read(b, 2);
    return (b[0] << 8) | b[1];
}

uint32_t rd_u32le() {
    uint8_t b[4] = {0, 0, 0, 0};
    rd_read(b, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint32_t rd_u32be() {
    uint8_t b[4] = {0, 0, 0, 0};
    rd_read(b, 4);
    return (static_cast<uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
}

double rd_f64le() {
    uint8_t b[8] = {};
    rd_read(b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = (v << 8) | b[i];
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

double rd_f64be() {
    uint8_t b[8] = {};
    rd_read(b, 8);
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) v = (v << 8) | b[i];
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

uint32_t rd_bits_msb(int n) {
    if (n == 8 && s_mask == 128 && !at_end()) return rd_byte();
    uint32_t v = 0;
    for (int i = 0; i < n; i++) {
        unsigned bit = 0;
        if (at_end()) {
            g_status = ST_FILE;
        } else {
            bit = (cur().buffer[s_position] & s_mask) ? 1 : 0;
            advance_bit();
        }
        v = (v << 1) | bit;
    }
    return v;
}

uint32_t rd_bits_lsb(int n) {
    return rd_bits_lsb_skip2(n, -1, -1);
}

uint32_t rd_bits_lsb_skip(int n, long long skip) {
    return rd_bits_lsb_skip2(n, skip, -1);
}

uint32_t rd_bits_lsb_skip2(int n, long long skip1, long long skip2) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) {
        if (s_low_mask == 1 && (offset_now() == skip1 || offset_now() == skip2)) {
            s_position++;
            reset_masks();
            refill();
        }
        if (at_end()) {
            g_status = ST_FILE;
            continue;
        }
        if (cur().buffer[s_position] & s_low_mask) v |= 1u << i;
        advance_bit();
    }
    return v;
}

uint32_t rd_bits_stuffed(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) {
        // A byte taken at the window's end moves the window on; the lookahead after the
        // window shows what follows its last byte. Past the data the stream reads as a marker.
        if (s_position >= cur().buffer_size && offset_now() < cur().size) refill();
        long long data = held_from(cur(), cur().base);
        unsigned result;
        if (s_position >= data) {
            result = 2;
        } else {
            const uint8_t* p = cur().buffer + s_position;
            result = (*p & s_mask) ? 1 : 0;
            if (s_mask == 1) {
                if (p[1] == 0xFF && p[2] != 0 && s_position + 1 < data) {
                    result = 2;
                } else {
                    s_position += (*p == 0xFF) ? 2 : 1;
                    s_mask = 128;
                }
            } else {
                s_mask >>= 1;
            }
        }
        v = (v << 1) | result;
    }
    return v;
}

namespace {
const uint8_t* s_mb = nullptr;
unsigned s_mb_mask = 1;
} // namespace

void mb_set(const uint8_t* address) {
    s_mb = address;
    s_mb_mask = 1;
}

void mb_skip(long n) {
    s_mb += n;
    s_mb_mask = 1;
}

void mb_copy(void* destination, long n) {
    std::memcpy(destination, s_mb, static_cast<size_t>(n));
    s_mb += n;
}

const uint8_t* mb_pointer() {
    return s_mb;
}

uint32_t mb_bits_lsb(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) {
        if (*s_mb & s_mb_mask) v |= 1u << i;
        s_mb_mask <<= 1;
        if (s_mb_mask == 256) {
            s_mb++;
            s_mb_mask = 1;
        }
    }
    return v;
}

uint32_t mb_bits_reversed(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) {
        v = (v << 1) | ((*s_mb & s_mb_mask) ? 1 : 0);
        s_mb_mask <<= 1;
        if (s_mb_mask == 256) {
            s_mb++;
            s_mb_mask = 1;
        }
    }
    return v;
}

FILE* fs_open(const char* path, const char* mode) {
    char buffer[4096];
    system_name(path, buffer, sizeof buffer);
    return std::fopen(buffer, mode);
}

namespace {
bool fs_bytes(FILE* f, uint8_t* b, int n) {
    return std::fread(b, 1, static_cast<size_t>(n), f) == static_cast<size_t>(n);
}
} // namespace

unsigned fs_u16be(FILE* f) {
    uint8_t b[2] = {0, 0};
    fs_bytes(f, b, 2);
    return (b[0] << 8) | b[1];
}
uint32_t fs_u32be(FILE* f) {
    uint8_t b[4] = {0, 0, 0, 0};
    fs_bytes(f, b, 4);
    return (static_cast<uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
}
double fs_f64be(FILE* f) {
    uint8_t b[8] = {};
    fs_bytes(f, b, 8);
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) v = (v << 8) | b[i];
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}
unsigned fs_u16le(FILE* f) {
    uint8_t b[2] = {0, 0};
    fs_bytes(f, b, 2);
    return b[0] | (b[1] << 8);
}
uint32_t fs_u32le(FILE* f) {
    uint8_t b[4] = {0, 0, 0, 0};
    fs_bytes(f, b, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
double fs_f64le(FILE* f) {
    uint8_t b[8] = {};
    fs_bytes(f, b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = (v << 8) | b[i];
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

void fs_read_line(FILE* f, char* buffer, int size) {
    int n = 0, c = EOF;
    while (n < size - 1) {
        c = std::fgetc(f);
        if (c == EOF || c == '\n' || c == '\r') break;
        buffer[n++] = static_cast<char>(c);
    }
    buffer[n] = 0;
    if (c == EOF) return;
    int next = std::fgetc(f);
    if (next != EOF && next != '\n' && next != '\r') std::ungetc(next, f);
}
