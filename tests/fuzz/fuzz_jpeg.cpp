// libFuzzer target for the JPEG decoder: each input is written to a file and loaded through
// detection and the load dispatch, as the viewer would; every object is deleted afterwards.
#include "core/lists.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "shell/services.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string g_path;
void quiet_log(const char*) {}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* root = std::getenv("TMPDIR");
    std::string dir = std::string(root && *root ? root : "/tmp");
    g_path = dir + "/fuzz_jpeg_" + std::to_string(getpid()) + ".jpg";
    log_set_path((dir + "/fuzz_jpeg_" + std::to_string(getpid()) + ".log").c_str());
    g_log_observer = quiet_log;
    obj_reset();
    image_declare_classes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Detection needs the JPEG signature; start every input with it so that the fuzzer
    // spends its time inside the decoder.
    FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) return 0;
    static const uint8_t soi[3] = {0xFF, 0xD8, 0xFF};
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) std::fwrite(soi, 1, 3, f);
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    g_status = 0;
    int list = 0, entry = 0;
    create_file_entry(g_path.c_str(), &list, &entry);
    if (!g_status) detect_format(entry);
    if (!g_status) load_image(entry, &list, 0, 0);
    g_status = 0;
    if (list) {
        list_delete_members(list);
        list_destroy(list);
    }
    // A failed load leaves its image outside the page list: delete every image left.
    int id = 0;
    while (obj_next(CLS_IMAGE, &id) && id) {
        obj_delete(CLS_IMAGE, id);
        id = 0;
    }
    rd_close_all();
    store_remove_all_swap();
    g_status = 0;
    return 0;
}
