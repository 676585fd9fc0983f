// libFuzzer target: TIFF files (tags, strips, tiles, the predictor, every compression) through
// detection and the load dispatch, in both byte orders; every row is then read, which decodes
// the strips on demand.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool big_endian = size > 0 && data[0] == 'M';
    return fuzz_load(data, size, big_endian ? std::string("MM\0*", 4) : std::string("II*"));
}
