// Shared body of the decoder fuzz targets: the input becomes a file whose first bytes carry
// the format's signature, and goes through detection and the load dispatch like a file the
// viewer opens. Everything made is dropped again before the next input.
#pragma once
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/decode_limits.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "core/services.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

inline const std::string& fuzz_file_path() {
    static std::string path;
    if (path.empty()) {
        path = "/tmp/dorvane-fuzz-" + std::to_string(getpid());
        log_set_path((path + ".log").c_str());
        g_max_image_bytes = 16 << 20; // forged sizes stay cheap; the bound itself is tested
        store_set_budget(256 << 20);
    }
    return path;
}

inline void fuzz_reset_core() {
    rd_close_all();
    store_remove_all_swap();
    obj_reset();
    image_declare_classes();
    g_status = 0;
}

// signature: bytes written over the start of the input (the decoder is chosen by them);
// ending: bytes added after it (a Targa footer signature).
inline int fuzz_load(const uint8_t* data, size_t size, const std::string& signature,
                     const std::string& ending = "") {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (size_t i = 0; i < signature.size() && i < bytes.size(); i++) bytes[i] = signature[i];
    bytes += ending;
    const std::string& path = fuzz_file_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    fuzz_reset_core();
    int list = 0, entry = 0;
    create_file_entry(path.c_str(), &list, &entry);
    if (!g_status) detect_format(entry);
    if (!g_status) load_image(entry, &list, 0, 0);
    // Read rows of every page across its whole size, as the display would.
    int id = 0;
    while (Image* page = static_cast<Image*>(obj_next(CLS_IMAGE, &id))) {
        if (!id) break;
        for (int y = 0; page->full_store && y < page->height; y += 1 + page->height / 512)
            for (int p = 0; p < page->planes; p++) {
                g_status = 0;
                const uint8_t* row = image_row_read(page, y, p);
                if (row) (void)*(volatile const uint8_t*)&row[page->width - 1];
            }
    }
    fuzz_reset_core();
    return 0;
}
