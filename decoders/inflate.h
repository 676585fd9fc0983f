// Inflate: decompresses a zlib stream (RFC 1950) of DEFLATE data (RFC 1951) held whole in
// memory into a buffer sized by the caller for the whole result.
#pragma once
#include <cstddef>
#include <cstdint>

// Decodes the stream in [input, input + input_size) into [output, output + output_size) and
// returns the count of bytes produced. Bad data (and output that would not fit, a distance
// reaching before the output or beyond the window, input that runs out) sets status 14.
// The Adler-32 trailer is neither read nor checked. Bytes past the returned count may have
// been written (up to 8 bytes of copy overrun) but never past output_size.
size_t inflate_zlib(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size);
