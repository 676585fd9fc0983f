// libFuzzer target: any bytes as a zlib stream, inflated into a buffer whose size the first
// two bytes choose (so that both roomy and tight outputs are tried); then streamed with that
// size as its bound, its input given in pieces and its output taken in counts that the third
// byte chooses. Both ways must end with the same status and, when it is 0, the same bytes.
#include "core/status.h"
#include "decoders/inflate.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const uint8_t* s_input;
size_t s_left, s_piece;

size_t give_piece(uint8_t* to, size_t room) {
    size_t n = room < s_piece ? room : s_piece;
    if (n > s_left) n = s_left;
    std::memcpy(to, s_input, n);
    s_input += n;
    s_left -= n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t capacity = (size_t(data[0]) << 8 | data[1]) * 4;
    const unsigned choice = data[2];
    data += 3;
    size -= 3;
    std::vector<uint8_t> out(capacity);
    g_status = 0;
    const size_t n = inflate_zlib(data, size, out.data(), out.size());
    if (n > capacity) __builtin_trap();
    const int whole_status = g_status;

    g_status = 0;
    s_input = data;
    s_left = size;
    s_piece = size_t(1) << (choice & 7);
    const size_t takes[3] = {1 + (choice >> 3), 4097, 3};
    inflate_stream_begin(give_piece, capacity);
    std::vector<uint8_t> streamed;
    for (size_t i = 0; !g_status; i++) {
        size_t got = 0;
        const uint8_t* bytes = inflate_stream_take(takes[i % 3], &got);
        if (bytes) streamed.insert(streamed.end(), bytes, bytes + got);
        if (got < takes[i % 3]) break;
    }
    inflate_stream_finish();
    inflate_stream_end();
    if (g_status != whole_status) __builtin_trap();
    if (!g_status && (streamed.size() != n || (n && std::memcmp(streamed.data(), out.data(), n))))
        __builtin_trap();
    g_status = 0;
    return 0;
}
