// libFuzzer target: any bytes as a zlib stream, inflated into a buffer whose size the first
// two bytes choose (so that both roomy and tight outputs are tried).
#include "core/status.h"
#include "decoders/inflate.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t capacity = (size_t(data[0]) << 8 | data[1]) * 4;
    std::vector<uint8_t> out(capacity);
    g_status = 0;
    const size_t n = inflate_zlib(data + 2, size - 2, out.data(), out.size());
    if (n > capacity) __builtin_trap();
    g_status = 0;
    return 0;
}
