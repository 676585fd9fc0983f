// Bytes of the reader's current file from its position on, taken a block at a time: the
// run-length decoders read their codes a byte or two at a time, and a reader call per byte
// would be too slow for large pictures.
#pragma once
#include <cstdint>

struct ByteSource {
    uint8_t block[65536];
    int at, end;
    int end_status; // status set when a byte is asked for past the end of the file
};

extern ByteSource g_bytes;

// Starts at the reader's position; reading past the end of the file later sets end_status.
void bytes_begin(int end_status);
bool bytes_refill();
// File offset of the next byte.
long long bytes_offset();

// Next byte, or 0 with the status set once the file is used up.
inline unsigned bytes_next() {
    if (g_bytes.at == g_bytes.end && !bytes_refill()) return 0;
    return g_bytes.block[g_bytes.at++];
}

// n bytes into out; stops with the status set at the end of the file.
void bytes_take(uint8_t* out, long n);

// n bytes at the reader's position, which then moves past them: a pointer into the reader's
// window when they lie inside it (saving a copy of every stored row), else spare (n bytes)
// with a copy. Null, nothing read, when the file holds fewer than n bytes from there. Not for
// use while the byte source holds read-ahead bytes.
const uint8_t* reader_span(uint8_t* spare, long n);
