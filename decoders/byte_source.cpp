#include "decoders/byte_source.h"
#include "core/reader.h"
#include "core/status.h"

#include <cstring>

ByteSource g_bytes;

void bytes_begin(int end_status) {
    g_bytes.at = g_bytes.end = 0;
    g_bytes.end_status = end_status;
}

bool bytes_refill() {
    long long left = rd_size() - rd_tell();
    if (left <= 0 || g_status) {
        if (!g_status) g_status = g_bytes.end_status;
        return false;
    }
    long long size = static_cast<long long>(sizeof g_bytes.block);
    g_bytes.end = static_cast<int>(left < size ? left : size);
    g_bytes.at = 0;
    rd_read(g_bytes.block, g_bytes.end);
    return !g_status;
}

long long bytes_offset() {
    return rd_tell() - (g_bytes.end - g_bytes.at);
}

void bytes_take(uint8_t* out, long n) {
    while (n > 0) {
        if (g_bytes.at == g_bytes.end && !bytes_refill()) return;
        long have = g_bytes.end - g_bytes.at;
        long part = n < have ? n : have;
        std::memcpy(out, g_bytes.block + g_bytes.at, static_cast<size_t>(part));
        g_bytes.at += static_cast<int>(part);
        out += part;
        n -= part;
    }
}

const uint8_t* reader_span(uint8_t* spare, long n) {
    if (rd_size() - rd_tell() < n) return nullptr;
    long at = rd_position();
    if (at >= 0 && at + n < rd_window_size()) { // moving on stays inside the window
        rd_seek(n, 1);
        return rd_window() + at;
    }
    rd_read(spare, n);
    return g_status ? nullptr : spare;
}
