// libFuzzer target: any bytes as a file, through detection and the load dispatch as the
// viewer loads it; every object made is deleted again.
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
#include <string>
#include <unistd.h>

namespace {

std::string temp_path() {
    static std::string path;
    if (path.empty()) {
        path = "/tmp/fuzz_png_" + std::to_string(getpid()) + ".png";
        log_set_path(("/tmp/fuzz_png_" + std::to_string(getpid()) + ".log").c_str());
        obj_reset();
        image_declare_classes();
    }
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = temp_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    g_status = 0;
    int list = 0;
    int entry = 0;
    create_file_entry(path.c_str(), &list, &entry);
    if (!g_status) detect_format(entry);
    if (!g_status) load_image(entry, &list, 0, 0);
    g_status = 0;
    if (list) {
        list_delete_members(list);
        list_destroy(list);
    }
    // Pages that failed to load are not in the list; sweep every image and entry left.
    int id = 0;
    while (obj_next(CLS_IMAGE, &id) && id) obj_delete(CLS_IMAGE, id), id = 0;
    id = 0;
    while (obj_next(CLS_FILE_ENTRY, &id) && id) obj_delete(CLS_FILE_ENTRY, id), id = 0;
    rd_close_all();
    g_status = 0;
    return 0;
}
