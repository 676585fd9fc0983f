// Horizontal differencing: each sample is stored as the difference from the same sample of the
// pixel to its left, modulo 2^bits.
#include "decoders/tiff.h"

void predictor_undo(uint8_t* row, int width, int samples, int bits_per_sample, bool big_endian) {
    if (bits_per_sample == 8) {
        long n = static_cast<long>(width) * samples;
        for (long i = samples; i < n; i++) row[i] = static_cast<uint8_t>(row[i] + row[i - samples]);
        return;
    }
    if (bits_per_sample != 16) return;
    long n = static_cast<long>(width) * samples * 2;
    int hi = big_endian ? 0 : 1, lo = 1 - hi;
    for (long i = 2L * samples; i < n; i += 2) {
        const uint8_t* left = row + i - 2L * samples;
        unsigned v = (row[i + hi] << 8 | row[i + lo]) + (left[hi] << 8 | left[lo]);
        row[i + hi] = static_cast<uint8_t>(v >> 8);
        row[i + lo] = static_cast<uint8_t>(v);
    }
}
