// libFuzzer target: Targa files through detection and the load dispatch. Targa has no magic:
// the footer signature added after the input makes detection take it (the input's last eight
// bytes are the footer's offsets).
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_load(data, size, "", std::string("TRUEVISION-XFILE.", 18));
}
