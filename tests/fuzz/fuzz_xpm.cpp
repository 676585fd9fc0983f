// libFuzzer target: X pixmap files through detection and the load dispatch.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_load(data, size, "/* XPM */");
}
