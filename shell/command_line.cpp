#include "shell/command_line.h"

namespace {

bool is_blank(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// Copies [begin, end) when it fits; reports whether it did.
bool copy_token(const char* begin, const char* end, char* out) {
    if (end - begin > k_max_token) {
        out[0] = 0;
        return false;
    }
    int n = 0;
    for (const char* p = begin; p < end; p++) out[n++] = *p;
    out[n] = 0;
    return true;
}

} // namespace

TokenResult next_command_token(const char** cursor, char* out) {
    const char* p = *cursor;
    out[0] = 0;
    if (!*p) return TOKEN_NONE;
    const char* begin;
    const char* end;
    if (*p == '"') {
        begin = ++p;
        while (*p && *p != '"') p++;
        end = p;
        if (*p == '"') p++;
    } else {
        while (is_blank(*p)) p++;
        begin = p;
        while (*p && !is_blank(*p)) p++;
        end = p;
    }
    *cursor = p;
    if (begin == end) return TOKEN_EMPTY;
    return copy_token(begin, end, out) ? TOKEN_READ : TOKEN_TOO_LONG;
}
