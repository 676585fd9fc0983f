// The machine's byte order, and little-endian loads and stores of whole words for loops that
// take bytes apart in registers.
#pragma once
#include <cstdint>
#include <cstring>

constexpr bool k_little_endian =
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    false;
#else
    true;
#endif

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
