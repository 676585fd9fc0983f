// Colour words of X pixmap colour lines: hexadecimal values, X11 colour names and "None".
#include "decoders/xpm.h"
#include "core/charclass.h"
#include "decoders/string_tokens.h"

#include <cctype>
#include <cstring>

namespace {

constexpr size_t kWordSize = 64;   // longest word kept, with its terminator
constexpr size_t kValueSize = 128; // a value's words, blanks between them

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "#" then 3, 6, 9 or 12 digits: each channel's digits scaled to 0..255, rounded.
bool hex_colour(const char* digits, uint8_t rgb[3]) {
    size_t n = std::strlen(digits);
    if (n == 0 || n > 12 || n % 3) return false;
    size_t per = n / 3;
    long max = (1L << (4 * per)) - 1;
    for (int c = 0; c < 3; c++) {
        long v = 0;
        for (size_t i = 0; i < per; i++) {
            int d = hex_digit(digits[c * per + i]);
            if (d < 0) return false;
            v = v * 16 + d;
        }
        rgb[c] = static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
    return true;
}

// Lower case, blanks dropped, "grey" spelled "gray"; false when it does not fit.
bool fold_name(const char* value, char* out, size_t size) {
    size_t n = 0;
    for (const char* p = value; *p; p++) {
        if (is_blank_byte(static_cast<unsigned char>(*p))) continue;
        if (n + 1 >= size) return false;
        out[n++] = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        if (n >= 4 && std::memcmp(out + n - 4, "grey", 4) == 0) out[n - 2] = 'a';
    }
    out[n] = 0;
    return true;
}

bool named_colour(const char* value, uint8_t rgb[3]) {
    char name[kValueSize];
    if (!fold_name(value, name, sizeof name)) return false;
    if (std::strncmp(name, "gray", 4) == 0 && name[4]) {
        const char* digits = name + 4;
        long level = 0;
        for (const char* p = digits; *p; p++) {
            if (!std::isdigit(static_cast<unsigned char>(*p)) || p - digits > 2) return false;
            level = level * 10 + (*p - '0');
        }
        if (level > 100) return false;
        rgb[0] = rgb[1] = rgb[2] = k_gray_ramp[level];
        return true;
    }
    // The names are sorted and each ends with a zero byte: find their starts once.
    static int starts[1024];
    static int counted = 0;
    if (!counted) {
        const char* p = k_colour_names;
        for (int i = 0; i < k_colour_name_count && i < 1024; i++, p += std::strlen(p) + 1)
            starts[i] = static_cast<int>(p - k_colour_names);
        counted = 1;
    }
    int low = 0, high = k_colour_name_count - 1;
    while (low <= high) {
        int mid = (low + high) / 2;
        int order = std::strcmp(name, k_colour_names + starts[mid]);
        if (order == 0) {
            std::memcpy(rgb, k_colour_rgb[mid], 3);
            return true;
        }
        if (order < 0)
            high = mid - 1;
        else
            low = mid + 1;
    }
    return false;
}

int context_rank(const char* word) {
    if (!std::strcmp(word, "c")) return 4;
    if (!std::strcmp(word, "g")) return 3;
    if (!std::strcmp(word, "g4")) return 2;
    if (!std::strcmp(word, "m")) return 1;
    if (!std::strcmp(word, "s")) return 0;
    return -1;
}

} // namespace

XpmColour xpm_colour_value(const char* value, uint8_t rgb[3]) {
    if (value[0] == '#') return hex_colour(value + 1, rgb) ? XPM_RGB : XPM_UNKNOWN;
    char name[kValueSize];
    if (fold_name(value, name, sizeof name) && !std::strcmp(name, "none")) {
        rgb[0] = rgb[1] = rgb[2] = 255;
        return XPM_TRANSPARENT;
    }
    return named_colour(value, rgb) ? XPM_RGB : XPM_UNKNOWN;
}

XpmColour xpm_colour_line(const char* text, uint8_t rgb[3]) {
    XpmColour best = XPM_UNKNOWN;
    int best_rank = 0; // symbolic names (rank 0) never give a colour
    int rank = -1;     // context of the value being read; -1 before the first key
    char value[kValueSize] = "";
    bool value_fits = true;
    const char* cursor = text;
    for (;;) {
        char word[kWordSize];
        size_t length = token_word(&cursor, word, sizeof word);
        bool key = length && length < kWordSize && context_rank(word) >= 0;
        if (!length || key) { // the value read so far is complete
            uint8_t candidate[3];
            XpmColour c = value_fits && value[0] ? xpm_colour_value(value, candidate) : XPM_UNKNOWN;
            if (c != XPM_UNKNOWN && rank > best_rank) {
                best = c, best_rank = rank;
                std::memcpy(rgb, candidate, 3);
            }
            if (!length) return best;
            rank = context_rank(word);
            value[0] = 0;
            value_fits = true;
            continue;
        }
        if (length >= kWordSize) { // too long for any colour: pass over it
            cursor += length;
            value_fits = false;
            continue;
        }
        size_t used = std::strlen(value);
        if (used + (used ? 1 : 0) + length + 1 > sizeof value) {
            value_fits = false;
            continue;
        }
        if (used) value[used++] = ' ';
        std::memcpy(value + used, word, length + 1);
    }
}
