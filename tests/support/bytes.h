// Integers as the bytes of hand-made files, in either byte order.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

inline std::string le16(uint32_t v) {
    return {char(v), char(v >> 8)};
}
inline std::string le32(uint32_t v) {
    return le16(v) + le16(v >> 16);
}
inline std::string be16(uint32_t v) {
    return {char(v >> 8), char(v)};
}
inline std::string be32(uint32_t v) {
    return be16(v >> 16) + be16(v);
}
inline std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += char(b);
    return s;
}
