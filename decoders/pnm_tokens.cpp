#include "decoders/pnm_tokens.h"
#include "core/charclass.h"
#include "core/reader.h"
#include "decoders/decoders.h"

#include <cstdlib>

namespace {
long long s_left = 0;
}

void pnm_begin_header(long long bytes_left) {
    s_left = bytes_left;
}

long long pnm_bytes_left() {
    return s_left;
}

int pnm_read_byte() {
    if (s_left <= 0) return -1;
    s_left--;
    return static_cast<int>(rd_byte());
}

int pnm_read_token(char* text) {
    int c = pnm_read_byte();
    while (c >= 0 && k_char_class[c] == CC_BLANK) c = pnm_read_byte();
    int n = 0;
    while (c >= 0 && k_char_class[c] != CC_BLANK) {
        if (n < 31) text[n++] = static_cast<char>(c);
        c = pnm_read_byte();
    }
    text[n] = 0;
    return c;
}

void pnm_skip_line() {
    int c;
    do c = pnm_read_byte();
    while (c >= 0 && c != '\n' && c != '\r');
}

long pnm_header_number() {
    char text[32];
    int delimiter = pnm_read_token(text);
    while (text[0] == '#') {
        if (delimiter != '\n' && delimiter != '\r') pnm_skip_line();
        delimiter = pnm_read_token(text);
    }
    return std::strtol(text, nullptr, 10);
}
