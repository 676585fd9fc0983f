#include "support/support.h"

#include "core/lists.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "core/services.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <random>
#include <ftw.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::string s_temp_dir;

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    std::remove(path); // and go on whatever fails
    return 0;
}

// The folder goes with everything in it; links planted there are removed, never followed.
void remove_temp_dir() {
    if (!s_temp_dir.empty()) nftw(s_temp_dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}
} // namespace

std::string test_temp_dir() {
    if (s_temp_dir.empty()) {
        const char* root = std::getenv("TMPDIR");
        s_temp_dir = std::string(root && *root ? root : "/tmp") + "/dorvane-test-" +
                     std::to_string(getpid());
        mkdir(s_temp_dir.c_str(), 0700);
        std::atexit(remove_temp_dir);
    }
    return s_temp_dir;
}

std::string test_made_tiffs() {
    static int made = -1;
    std::string dir = test_temp_dir() + "/made-tiff";
    if (made < 0) {
        std::string command = "/usr/bin/python3 " + test_data_dir() + "/tiff/make_tiffs.py " + dir;
        made = std::system(command.c_str()) == 0;
    }
    return made ? dir : "";
}

std::string test_write_file(const std::string& name, const std::string& bytes) {
    std::string path = test_temp_dir() + "/" + name;
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string test_read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void test_reset_core() {
    rd_close_all();
    store_remove_all_swap();
    obj_reset();
    image_declare_classes();
    g_status = 0;
    log_set_path((test_temp_dir() + "/zz_DORV.log").c_str());
    scratch_set_root(test_temp_dir().c_str());
}

int test_load_file(const std::string& path, int* list, int* kind) {
    *list = 0;
    g_status = 0;
    int entry = 0;
    create_file_entry(path.c_str(), list, &entry);
    if (g_status) return g_status;
    detect_format(entry);
    if (kind) {
        FileEntry* e = obj_find_as<FileEntry>(CLS_FILE_ENTRY, entry);
        *kind = e ? e->kind : -1;
    }
    if (g_status) return g_status;
    load_image(entry, list, 0, 0);
    int status = g_status;
    g_status = 0;
    return status;
}

std::vector<Image*> test_pages(int list) {
    std::vector<Image*> pages;
    int id = 0;
    while (void* rec = list_next_of_class(list, CLS_IMAGE, &id)) {
        if (!id) break;
        pages.push_back(static_cast<Image*>(rec));
    }
    return pages;
}

LoadResult test_load(const std::string& path) {
    test_reset_core();
    LoadResult r;
    r.status = test_load_file(path, &r.list, &r.kind);
    if (r.list) r.pages = test_pages(r.list);
    if (r.pages.size() == 1) r.page = r.pages[0];
    return r;
}

LoadResult test_load_bytes(const std::string& name, const std::string& bytes) {
    return test_load(test_write_file(name, bytes));
}

std::string test_fields(Image* p) {
    return "format " + std::to_string(p->format_name_index) + " bits " +
           std::to_string(p->bit_count) + "/" + std::to_string(p->bits_per_sample) + " samples " +
           std::to_string(p->samples_per_pixel) + " planes " + std::to_string(p->planes);
}

Row test_row(Image* page, int y, int plane) {
    const uint8_t* r = image_row_read(page, y, plane);
    return r ? Row(r, r + page->width) : Row();
}

int test_run(const std::string& command, std::string* output) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    char buffer[4096];
    size_t n;
    std::string text;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
    if (output) *output = text;
    int rc = pclose(p);
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::vector<std::string> test_list_dir(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n[0] != '.' && n.size() >= suffix.size() &&
                n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {
LogCapture* s_capture = nullptr;
void capture_log(const char* text) {
    if (s_capture) s_capture->text += std::string(text) + "\n";
}
} // namespace

LogCapture::LogCapture() {
    s_capture = this;
    g_log_observer = capture_log;
}
LogCapture::~LogCapture() {
    g_log_observer = nullptr;
    s_capture = nullptr;
}

Rgb rgb_of(const Rgb& ref) {
    Rgb r{ref.width, ref.height, 3, {}};
    for (size_t i = 0; ref.channels > 0 && i < ref.pixels.size(); i += ref.channels)
        for (int c = 0; c < 3; c++) r.pixels.push_back(ref.pixels[i + (ref.channels >= 3 ? c : 0)]);
    return r;
}

Rgb page_rgb(Image* page) {
    Rgb r{page->width, page->height, 3, {}};
    r.pixels.resize(static_cast<size_t>(r.width) * r.height * 3);
    for (int y = 0; !r.pixels.empty() && y < page->height; y++)
        for (int p = 0; p < 3; p++) {
            const uint8_t* s = image_row_read(page, y, page->planes >= 3 ? p : 0);
            if (!s) return Rgb();
            uint8_t* d = &r.pixels[static_cast<size_t>(y) * r.width * 3 + p];
            for (int x = 0; x < page->width; x++)
                d[x * 3] = page->planes >= 3 ? s[x] : page->palette[p][s[x]];
        }
    return r;
}

namespace {
std::string existing_dir(const char* path) {
    struct stat st;
    return (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) ? std::string(path) : std::string();
}
} // namespace

std::string corpus_dir() {
    const char* env = std::getenv("DORVANE_CORPUS");
    return existing_dir(env && *env ? env : DORVANE_CORPUS);
}
std::string corpus_ref_dir() {
    const char* env = std::getenv("DORVANE_CORPUS_REF");
    return existing_dir(env && *env ? env : DORVANE_CORPUS_REF);
}
std::string test_data_dir() {
    return DORVANE_TEST_DATA;
}
std::string test_source_ppm(int width, int height) {
    std::string path = test_temp_dir() + "/source_" + std::to_string(width) + "x" +
                       std::to_string(height) + ".ppm";
    std::mt19937 rng(7);
    auto clamped = [](double v) { return int(std::min(255.0, std::max(0.0, v))); };
    write_ppm(path, width, height, [&](int x, int y) {
        int noise = int(rng() % 21) - 10;
        return rgb(clamped(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.03) + noise),
                   clamped((x * 255.0) / width + noise),
                   clamped((((x / 16 + y / 16) % 2) ? 200 : 40) + noise));
    });
    return path;
}
