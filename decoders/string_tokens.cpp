#include "decoders/string_tokens.h"
#include "core/charclass.h"

#include <cstring>

namespace {

constexpr int kLongestNumber = 14;

inline int class_of(char c) {
    return k_char_class[static_cast<unsigned char>(c)];
}

} // namespace

size_t token_word(const char** cursor, char* out, size_t size) {
    const char* p = *cursor;
    while (*p && class_of(*p) == CC_BLANK) p++;
    const char* begin = p;
    while (*p && class_of(*p) != CC_BLANK) p++;
    size_t length = static_cast<size_t>(p - begin);
    if (size) out[0] = 0;
    if (length + 1 > size) {
        *cursor = begin;
        return length;
    }
    std::memcpy(out, begin, length);
    out[length] = 0;
    *cursor = p;
    return length;
}

long long token_number(const char** cursor) {
    const char* p = *cursor;
    while (*p && class_of(*p) != CC_DIGIT) p++;
    const char* begin = p;
    long long value = 0;
    while (class_of(*p) == CC_DIGIT && p - begin <= kLongestNumber)
        value = value * 10 + (*p++ - '0');
    if (p == begin || p - begin > kLongestNumber) {
        *cursor = begin;
        return 0;
    }
    *cursor = p;
    return value;
}

size_t token_quoted(const char** cursor, char* out, size_t size) {
    const char* p = *cursor;
    if (size) out[0] = 0;
    while (*p && class_of(*p) != CC_QUOTE) p++;
    if (!*p) {
        *cursor = p;
        return 0;
    }
    const char* begin = ++p;
    while (*p && class_of(*p) != CC_QUOTE) p++;
    size_t length = static_cast<size_t>(p - begin);
    if (size) {
        size_t kept = length < size - 1 ? length : size - 1;
        std::memcpy(out, begin, kept);
        out[kept] = 0;
    }
    *cursor = *p ? p + 1 : p;
    return length;
}
