// libFuzzer target: PCX files through detection and the load dispatch.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // the version byte is the input's; the encoding byte keeps its low bit (0 or 1 is PCX)
    char signature[3] = {0x0A, static_cast<char>(size > 1 ? data[1] : 5),
                         static_cast<char>(size > 2 ? data[2] & 1 : 1)};
    return fuzz_load(data, size, std::string(signature, 3));
}
