#include "core/charclass.h"

namespace {
struct CharTable {
    uint8_t v[256];
    constexpr CharTable() : v() {
        for (int i = 0; i < 256; i++) v[i] = CC_OTHER;
        for (int i = '0'; i <= '9'; i++) v[i] = CC_DIGIT;
        const char* blanks = "\t\n\r ";
        for (int i = 0; blanks[i]; i++) set(blanks[i], CC_BLANK);
        set('+', CC_SIGN);
        set('-', CC_SIGN);
        set('.', CC_POINT);
        set(',', CC_COMMA);
        set(';', CC_SEMICOLON);
        set('"', CC_QUOTE);
    }
    constexpr void set(char c, CharClass cls) { v[static_cast<unsigned char>(c)] = cls; }
};
constexpr CharTable k_table;
} // namespace

const uint8_t (&k_char_class)[256] = k_table.v;
