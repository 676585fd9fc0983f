// The machine's byte order, little-endian loads and stores of whole words for loops that take
// bytes apart in registers, and loads of file fields in either byte order.
#pragma once
#include <cstdint>
#include <cstring>

constexpr bool k_little_endian =
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    false;
#else
    true;
#endif

inline uint16_t load_le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint16_t load_be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline uint32_t load_be32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return k_little_endian ? __builtin_bswap32(v) : v;
}

inline uint32_t load_le32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return k_little_endian ? v : __builtin_bswap32(v);
}

inline uint64_t load_le64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return k_little_endian ? v : __builtin_bswap64(v);
}

inline void store_le32(uint8_t* p, uint32_t v) {
    if (!k_little_endian) v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline void store_le64(uint8_t* p, uint64_t v) {
    if (!k_little_endian) v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}
