// libFuzzer target: the Group 4 row decoder alone. The first two bytes give the line width
// (1 to 65536), the third the rows to decode and, in its top bit, the reversed bit order; the
// rest is the coded data.
#include "decoders/ccitt_g4.h"
#include "fuzz_load.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    fuzz_file_path(); // the log goes beside the fuzzer's files
    int width = 1 + (data[0] | data[1] << 8);
    int rows = data[2] & 127;
    TiffFeed feed = TiffFeed();
    feed.next = data + 3;
    feed.end = data + size;
    g_status = 0;
    G4Decoder* g4 = g4_open(&feed, width, data[2] & 128);
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int y = 0; y < rows && g4_row(g4, row.data()); y++)
        for (uint8_t v : row)
            if (v > 1) __builtin_trap(); // pixels are 0 or 1
    g4_close(g4);
    g_status = 0;
    return 0;
}
