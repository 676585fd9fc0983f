// CCITT Group 4 (T.6) rows. Each row is coded against the row above it (the first against an
// all-white row) by pass, vertical and horizontal modes. Rows are kept as lists of changing
// elements (the pixels where the colour changes), so finding b1 and b2 on the reference row
// is a short forward walk, and each row is written from its list once it is complete. Codes are
// looked up in tables indexed by the next 7 bits (modes) or 13 bits (runs) of a 64-bit bit buffer.
#include "decoders/ccitt_g4.h"

#include "core/mem.h"
#include "core/services.h"
#include "core/status.h"

#include <cstring>

namespace {

// Run-length codes of T.4: terminating codes (runs 0 to 63) in order, then make-up codes.
const char* const k_white_terminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100"};
const char* const k_white_makeup[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011"};
const char* const k_black_terminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",
    "0010",         "00011",        "000101",       "000100",       "0000100",      "0000101",
    "0000111",      "00000100",     "00000111",     "000011000",    "0000010111",   "0000011000",
    "0000001000",   "00001100111",  "00001101000",  "00001101100",  "00000110111",  "00000101000",
    "00000010111",  "00000011000",  "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111"};
const char* const k_black_makeup[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",
    "000000110100",  "000000110101",  "0000001101100", "0000001101101", "0000001001010",
    "0000001001011", "0000001001100", "0000001001101", "0000001110010", "0000001110011",
    "0000001110100", "0000001110101", "0000001110110", "0000001110111", "0000001010010",
    "0000001010011", "0000001010100", "0000001010101", "0000001011010", "0000001011011",
    "0000001100100", "0000001100101"};
// Make-up codes of 1792 to 2560 pixels, shared by both colours.
const char* const k_extended_makeup[13] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
    "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
    "000000011101", "000000011110", "000000011111"};

enum Mode : uint8_t { M_BAD, M_PASS, M_HORIZONTAL, M_V0, M_VR1, M_VR2, M_VR3, M_VL1, M_VL2, M_VL3 };
const struct {
    const char* code;
    Mode mode;
} k_modes[] = {{"1", M_V0},           {"011", M_VR1},     {"010", M_VL1},
               {"001", M_HORIZONTAL}, {"0001", M_PASS},   {"000011", M_VR2},
               {"000010", M_VL2},     {"0000011", M_VR3}, {"0000010", M_VL3}};
const int k_vertical_offset[] = {0, 0, 0, 0, 1, 2, 3, -1, -2, -3};

constexpr int k_run_bits = 13;
constexpr int k_mode_bits = 7;

struct RunCode {
    uint16_t run;
    uint8_t length; // 0: no code starts with these bits
};

RunCode g_runs[2][1 << k_run_bits]; // white, black
uint8_t g_mode_code[1 << k_mode_bits];
uint8_t g_mode_length[1 << k_mode_bits];
uint8_t g_reversed[256];
bool g_tables_built = false;

int code_value(const char* bits) {
    int v = 0;
    for (const char* p = bits; *p; p++) v = v * 2 + (*p - '0');
    return v;
}

void add_run(int colour, const char* bits, int run) {
    int length = static_cast<int>(std::strlen(bits));
    int base = code_value(bits) << (k_run_bits - length);
    for (int i = 0; i < 1 << (k_run_bits - length); i++)
        g_runs[colour][base + i] =
            RunCode{static_cast<uint16_t>(run), static_cast<uint8_t>(length)};
}

void build_tables() {
    if (g_tables_built) return;
    for (int colour = 0; colour < 2; colour++) {
        const char* const* terminating = colour ? k_black_terminating : k_white_terminating;
        const char* const* makeup = colour ? k_black_makeup : k_white_makeup;
        for (int i = 0; i < 64; i++) add_run(colour, terminating[i], i);
        for (int i = 0; i < 27; i++) add_run(colour, makeup[i], 64 * (i + 1));
        for (int i = 0; i < 13; i++) add_run(colour, k_extended_makeup[i], 1792 + 64 * i);
    }
    for (const auto& m : k_modes) {
        int length = static_cast<int>(std::strlen(m.code));
        int base = code_value(m.code) << (k_mode_bits - length);
        for (int i = 0; i < 1 << (k_mode_bits - length); i++) {
            g_mode_code[base + i] = m.mode;
            g_mode_length[base + i] = static_cast<uint8_t>(length);
        }
    }
    for (int b = 0; b < 256; b++) {
        int r = 0;
        for (int i = 0; i < 8; i++) r |= ((b >> i) & 1) << (7 - i);
        g_reversed[b] = static_cast<uint8_t>(r);
    }
    g_tables_built = true;
}

} // namespace

struct G4Decoder {
    TiffFeed* feed;
    bool reversed_bits;
    int width;
    uint64_t bits;  // next bit at the top
    int avail;      // bits of data in the buffer (zeros follow the end of the data)
    int* reference; // changing elements of the row above, then width sentinels
    int* current;
};

namespace {

inline void fill_bits(G4Decoder* g) {
    while (g->avail <= 56) {
        int b = feed_byte(g->feed);
        if (b < 0) return;
        if (g->reversed_bits) b = g_reversed[b];
        g->bits |= uint64_t(b) << (56 - g->avail);
        g->avail += 8;
    }
}

inline void consume(G4Decoder* g, int n) {
    g->bits <<= n;
    g->avail -= n;
}

// Short runs are the common case: they are written with two overlapping stores, not a call.
inline void fill_black(uint8_t* at, int n) {
    const uint64_t ones = 0x0101010101010101ull;
    if (n >= 16) {
        std::memset(at, 1, static_cast<size_t>(n));
    } else if (n >= 8) {
        std::memcpy(at, &ones, 8);
        std::memcpy(at + n - 8, &ones, 8);
    } else if (n >= 4) {
        std::memcpy(at, &ones, 4);
        std::memcpy(at + n - 4, &ones, 4);
    } else {
        for (int i = 0; i < n; i++) at[i] = 1;
    }
}

bool coding_error(const char* why) {
    log_line(why);
    g_status = ST_BAD_DATA;
    return false;
}

// One run of the colour, make-up codes summed with their terminating code; -1 when the data
// ends, -2 on a bad code.
int read_run(G4Decoder* g, int colour, int limit) {
    int total = 0;
    for (;;) {
        fill_bits(g);
        const RunCode& c = g_runs[colour][g->bits >> (64 - k_run_bits)];
        if (c.length == 0) return g->avail < k_run_bits ? -1 : -2;
        if (c.length > g->avail) return -1;
        consume(g, c.length);
        total += c.run;
        if (total > limit) return -2;
        if (c.run < 64) return total;
    }
}

} // namespace

G4Decoder* g4_open(TiffFeed* feed, int width, bool reversed_bits) {
    build_tables();
    G4Decoder* g = nullptr;
    if (width < 1 || !mem_alloc(g, sizeof(G4Decoder))) return nullptr;
    size_t list = (static_cast<size_t>(width) + 4) * sizeof(int);
    g->reference = g->current = nullptr;
    if (!mem_alloc(g->reference, list) || !mem_alloc(g->current, list)) {
        g4_close(g);
        return nullptr;
    }
    g->feed = feed;
    g->reversed_bits = reversed_bits;
    g->width = width;
    g->bits = 0;
    g->avail = 0;
    // The row above the first is white: no changing element.
    for (int i = 0; i < 4; i++) g->reference[i] = width;
    return g;
}

bool g4_row(G4Decoder* g, uint8_t* out) {
    if (!g) return false;
    const int width = g->width;
    const int* ref = g->reference;
    int* cur = g->current;
    int changes = 0;
    int a0 = -1, colour = 0, k = 0;
    while (a0 < width) {
        // b1: first changing element right of a0 whose colour is the opposite of the current
        // one (elements alternate black, white, ... from index 0); b2 the element after it.
        while (ref[k] <= a0 && ref[k] < width) k++;
        if ((k & 1) != colour) k++;
        int b1 = ref[k] < width ? ref[k] : width;
        int b2 = ref[k + 1] < width ? ref[k + 1] : width;
        int start = a0 < 0 ? 0 : a0;
        fill_bits(g);
        int index = static_cast<int>(g->bits >> (64 - k_mode_bits));
        int length = g_mode_length[index];
        if (length > g->avail) return false; // the data ends inside the code
        if (length == 0) {
            if (g->avail < k_mode_bits) return false;
            return coding_error("TIFF : code de mode CCITT invalide");
        }
        consume(g, length);
        Mode mode = static_cast<Mode>(g_mode_code[index]);
        if (mode == M_PASS) {
            if (b2 < start) return coding_error("TIFF : mode passe en arriere");
            a0 = b2;
        } else if (mode == M_HORIZONTAL) {
            int run1 = read_run(g, colour, width - start);
            int run2 = run1 < 0 ? run1 : read_run(g, colour ^ 1, width - start - run1);
            if (run1 == -1 || run2 == -1) return false;
            if (run1 < 0 || run2 < 0) return coding_error("TIFF : code de longueur CCITT invalide");
            int a1 = start + run1, a2 = a1 + run2;
            cur[changes++] = a1;
            cur[changes++] = a2;
            a0 = a2;
        } else {
            int a1 = b1 + k_vertical_offset[mode];
            if (a1 < start || a1 > width) return coding_error("TIFF : mode vertical hors ligne");
            cur[changes++] = a1;
            a0 = a1;
            colour ^= 1;
        }
        if (k > 0) k--;
        if (changes > width) return coding_error("TIFF : trop de changements CCITT");
    }
    // Changes at the row's end carry nothing; the sentinels close the list.
    while (changes > 0 && cur[changes - 1] >= width) changes--;
    for (int i = 0; i < 4; i++) cur[changes + i] = width;
    // The row is white but for the runs between a change to black and the next change.
    std::memset(out, 0, static_cast<size_t>(width));
    for (int i = 0; i < changes; i += 2) fill_black(out + cur[i], cur[i + 1] - cur[i]);
    g->current = g->reference;
    g->reference = cur;
    return true;
}

void g4_close(G4Decoder*& g4) {
    if (!g4) return;
    mem_free(g4->reference);
    mem_free(g4->current);
    mem_free(g4);
}
