// Inflate: decompresses a zlib stream (RFC 1950) of DEFLATE data (RFC 1951), either held
// whole in memory into a buffer sized for the whole result, or streamed: compressed bytes are
// pulled from a source as they are needed and the output is taken a piece at a time, so that
// neither side is ever held whole.
#pragma once
#include <cstddef>
#include <cstdint>

// Decodes the stream in [input, input + input_size) into [output, output + output_size) and
// returns the count of bytes produced. Bad data (and output that would not fit, a distance
// reaching before the output or beyond the window, input that runs out) sets status 14.
// The Adler-32 trailer is neither read nor checked. Bytes past the returned count may have
// been written (up to 16 bytes of copy overrun) but never past output_size.
size_t inflate_zlib(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size);

// Streamed decoding, one stream at a time. The source copies up to `room` further compressed
// bytes to `to` and returns their count; 0 means the compressed data has ended.
using InflateSource = size_t (*)(uint8_t* to, size_t room);

// Starts a stream whose output may total at most `limit` bytes: more is bad data (status 14),
// as a buffer of that size would be for inflate_zlib. Status 1 when the buffers cannot be had.
void inflate_stream_begin(InflateSource source, unsigned long long limit);
// The next `count` bytes of output, decoded as far as needed. *got is `count`, or less once the
// stream has ended (the last bytes it gave); null and *got 0 on a status. The bytes stay valid
// until the next call; a count larger than any before grows the window (status 1 if it cannot).
const uint8_t* inflate_stream_take(size_t count, size_t* got);
// Decodes the rest of the stream without keeping its output, so that its faults are reported
// as they would be had everything been taken.
void inflate_stream_finish();
// Frees the stream's buffers (also after a status).
void inflate_stream_end();
