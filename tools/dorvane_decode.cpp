// dorvane-decode: loads a file exactly as the viewer does and prints its pages; with an output
// prefix, writes every page as a binary PPM. Used by the differential tests and for scripting.
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "core/services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void print_log_line(const char* text) {
    std::fprintf(stderr, "%s\n", text);
}

int usage() {
    std::fprintf(stderr, "usage: dorvane-decode [--budget BYTES] FILE [OUT]\n");
    return 15;
}

// One page as P6: palette pages through their palette, others as red, green, blue planes.
bool write_page(Image* page, const std::string& name) {
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", page->width, page->height);
    std::vector<uint8_t> line(static_cast<size_t>(page->width) * 3);
    bool ok = true;
    for (int y = 0; y < page->height && ok; y++) {
        for (int p = 0; p < (page->planes >= 3 ? 3 : 1) && ok; p++) {
            const uint8_t* row = image_row_read(page, y, p);
            if (!row || g_status) {
                ok = false;
                break;
            }
            for (int x = 0; x < page->width; x++) {
                if (page->planes >= 3) {
                    line[x * 3 + p] = row[x];
                } else {
                    line[x * 3 + 0] = page->palette[0][row[x]];
                    line[x * 3 + 1] = page->palette[1][row[x]];
                    line[x * 3 + 2] = page->palette[2][row[x]];
                }
            }
        }
        if (ok) ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    }
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const char*> args;
    long long budget = -1;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--budget") == 0 && i + 1 < argc)
            budget = std::atoll(argv[++i]);
        else
            args.push_back(argv[i]);
    }
    if (args.empty() || args.size() > 2) return usage();

    obj_reset();
    image_declare_classes();
    g_log_observer = print_log_line;
    if (budget >= 0) store_set_budget(budget);

    int list = 0, entry_id = 0;
    create_file_entry(args[0], &list, &entry_id);
    if (!g_status) detect_format(entry_id);
    FileEntry* entry = obj_find_as<FileEntry>(CLS_FILE_ENTRY, entry_id);
    if (entry && entry->kind != KIND_IMAGE) std::printf("kind %d\n", entry->kind);
    if (!g_status) load_image(entry_id, &list, 0, 0);
    int status = g_status;
    if (status) {
        std::printf("%s\n", status_text());
        store_remove_all_swap();
        return status;
    }
    int page_number = 0, id = 0;
    while (Image* page = static_cast<Image*>(list_next_of_class(list, CLS_IMAGE, &id))) {
        if (!id) break;
        std::printf("page %d: %dx%d planes %d bits %d samples %d format \"%s\"\n", page_number,
                    page->width, page->height, page->planes, page->bit_count,
                    page->samples_per_pixel, format_display_name(page->format_name_index));
        if (args.size() == 2) {
            std::string name = std::string(args[1]) + "-" + std::to_string(page_number) + ".ppm";
            if (!write_page(page, name)) {
                if (!g_status) g_status = ST_FILE;
                status = g_status;
                std::printf("%s\n", status_text());
                store_remove_all_swap();
                return status;
            }
        }
        page_number++;
    }
    store_remove_all_swap();
    return 0;
}
