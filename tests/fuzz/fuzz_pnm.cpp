// libFuzzer target: PNM files through detection and the load dispatch.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // the second byte picks one of the six variants; seeds keep theirs
    char variant = size > 1 ? static_cast<char>(data[1]) : '1';
    if (variant < '1' || variant > '6')
        variant = static_cast<char>('1' + static_cast<uint8_t>(variant) % 6);
    char magic[3] = {'P', variant, 0};
    return fuzz_load(data, size, magic);
}
