// Byte classes shared by the text readers (PNM tokens, string tokenizers).
#pragma once
#include <cstdint>

enum CharClass : uint8_t {
    CC_DIGIT = 0,
    CC_SIGN = 1,
    CC_POINT = 2,
    CC_BLANK = 3,
    CC_COMMA = 4,
    CC_SEMICOLON = 5,
    CC_QUOTE = 6,
    CC_OTHER = 7,
};

extern const uint8_t (&k_char_class)[256];

inline bool is_blank_byte(int c) {
    return c >= 0 && c < 256 && k_char_class[c] == CC_BLANK;
}

// Clamp a floating-point channel value to a byte: <0.5 gives 0, >=254.5 gives 255.
inline uint8_t clamp_byte(double v) {
    if (v < 0.5) return 0;
    if (v >= 254.5) return 255;
    return static_cast<uint8_t>(v + 0.5);
}
