#include "core/charclass.h"

namespace {
struct CharTable {
    uint8_t v[256];
    constexpr CharTable() : v() {
        for (int i = 0; i < 256; i++) v[i] = CC_OTHER;
        for (int i = '0'; i <= '9'; i++) v[i] = CC_DIGIT;
        v['+'] = v['-'] = CC_SIGN;
        v['.'] = CC_POINT;
        v['\t'] = v['\n'] = v['\r'] = v[' '] = CC_BLANK;
        v[','] = CC_COMMA;
        v[';'] = CC_SEMICOLON;
        v['"'] = CC_QUOTE;
    }
};
constexpr CharTable k_table;
} // namespace

const uint8_t (&k_char_class)[256] = k_table.v;
