// libFuzzer target: JPEG files through detection and the load dispatch. The start of marker
// is written over each input so that the fuzzer spends its time inside the decoder.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_load(data, size, "\xFF\xD8\xFF");
}
