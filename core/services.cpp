// Configuration file, log file, scratch directory, path helpers and process controls.
#include "core/services.h"
#include "core/mem.h"
#include "core/reader.h"
#include "core/status.h"
#include "platform/sys.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

void (*g_log_observer)(const char* text) = nullptr;

namespace {

char s_config_path[1024] = "dorvane.cfg";
char* s_config_value = nullptr;
size_t s_config_value_capacity = 0;

char s_log_path[1024] = "";

bool s_scratch_checked = false;
char s_scratch_root[1024] = "";
char s_scratch_dir[1100] = "";

int s_priority_mode = 1;

// Makes sure a directory exists; logs and sets status 11 when it cannot.
bool ensure_directory(const char* dir) {
    char message[1200];
    int64_t size = 0;
    int kind = sys_stat(dir, &size);
    if (kind == 6) {
        std::snprintf(message, sizeof message, "Erreur  %s est un fichier et non un repertoire",
                      dir);
        log_line(message);
        g_status = ST_SYSTEM;
        return false;
    }
    if (kind == 255 && sys_make_dir(dir) != 0) {
        std::snprintf(message, sizeof message, "Erreur  impossible de creer %s", dir);
        log_line(message);
        g_status = ST_SYSTEM;
        return false;
    }
    return true;
}

// The scratch directory itself: made for this user alone, and refused when anyone else could
// reach into it (swap files hold the pictures the user opens).
bool ensure_private_directory(const char* dir) {
    int verdict = sys_scratch_dir(dir);
    if (verdict == 0) return true;
    char message[1200];
    if (verdict == 1)
        std::snprintf(message, sizeof message, "Erreur  %s est un fichier et non un repertoire",
                      dir);
    else if (verdict == 2)
        std::snprintf(message, sizeof message, "Erreur  impossible de creer %s", dir);
    else
        std::snprintf(message, sizeof message,
                      "Erreur  %s n'est pas un repertoire reserve a l'utilisateur", dir);
    log_line(message);
    g_status = ST_SYSTEM;
    return false;
}

// Swap files are named "<process id>_<store>_<file>"; those of processes that no longer run
// are left-overs of a crash and go.
void sweep_one(const char* name, void* dir) {
    int pid = 0, i = 0;
    for (; name[i] >= '0' && name[i] <= '9' && i < 9; i++) pid = pid * 10 + (name[i] - '0');
    if (i == 0 || name[i] != '_' || pid == sys_process_id() || sys_process_alive(pid)) return;
    char path[1400];
    std::snprintf(path, sizeof path, "%s/%s", static_cast<const char*>(dir), name);
    sys_remove(path);
}

} // namespace

void config_set_path(const char* path) {
    std::snprintf(s_config_path, sizeof s_config_path, "%s", path);
}

const char* read_config_value(const char* key) {
    FILE* f = fs_open(s_config_path, "rb");
    if (!f) return nullptr;
    size_t key_length = std::strlen(key);
    char line[498];
    bool found = false;
    for (;;) {
        fs_read_line(f, line, sizeof line);
        if (std::strncmp(line, key, key_length) == 0) {
            found = true;
            break;
        }
        if (std::feof(f)) break;
    }
    std::fclose(f);
    if (!found) {
        mem_free(s_config_value);
        s_config_value_capacity = 0;
        return nullptr;
    }
    const char* value = line + key_length;
    size_t n = std::strlen(value) + 1;
    if (n > s_config_value_capacity) {
        if (!mem_realloc(s_config_value, n)) {
            s_config_value_capacity = 0;
            return nullptr;
        }
        s_config_value_capacity = n;
    }
    std::memcpy(s_config_value, value, n);
    return s_config_value;
}

void read_background_colour(uint8_t* red, uint8_t* green, uint8_t* blue) {
    int rgb[3] = {255, 255, 255};
    const char* value = read_config_value("BACK_COLOR_RGB");
    if (value) std::sscanf(value, "%d %d %d", &rgb[0], &rgb[1], &rgb[2]);
    *red = static_cast<uint8_t>(rgb[0] & 0xff);
    *green = static_cast<uint8_t>(rgb[1] & 0xff);
    *blue = static_cast<uint8_t>(rgb[2] & 0xff);
}

void log_set_path(const char* path) {
    std::snprintf(s_log_path, sizeof s_log_path, "%s", path);
}

const char* log_path() {
    return s_log_path;
}

void log_line(const char* text) {
    if (g_log_observer) g_log_observer(text);
    if (!s_log_path[0]) return;
    FILE* f = fs_open(s_log_path, "a");
    if (!f) return;
    std::time_t now = std::time(nullptr);
    std::fprintf(f, "-------------------------------%s%s\n", std::asctime(std::localtime(&now)),
                 text);
    std::fclose(f);
}

const char* scratch_root() {
    return s_scratch_root[0] ? s_scratch_root : sys_temp_root();
}

const char* scratch_directory() {
    std::snprintf(s_scratch_dir, sizeof s_scratch_dir, "%s/%s", scratch_root(), sys_scratch_leaf());
    return s_scratch_dir;
}

void scratch_set_root(const char* root) {
    std::snprintf(s_scratch_root, sizeof s_scratch_root, "%s", root ? root : "");
    s_scratch_checked = false;
}

void scratch_prefix(char* out, int size) {
    out[0] = 0;
    if (!s_scratch_checked) {
        if (!ensure_directory(scratch_root())) return;
        if (!ensure_private_directory(scratch_directory())) return;
        s_scratch_checked = true;
        scratch_sweep();
    }
    std::snprintf(out, static_cast<size_t>(size), "%s/%d_", scratch_directory(), sys_process_id());
}

void scratch_sweep() {
    char dir[1100];
    std::snprintf(dir, sizeof dir, "%s", scratch_directory());
    int64_t size = 0;
    // Only a directory that is there already and the user's alone: nothing is made here.
    if (sys_stat(dir, &size) != 1 || sys_scratch_dir(dir) != 0) return;
    sys_list_dir(dir, sweep_one, dir);
}

void normalise_path(char* text) {
    bool fold = sys_paths_fold_case();
    for (char* p = text; *p; p++) {
        if (*p == '\\')
            *p = '/';
        else if (fold)
            *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
}

void native_path(char* text) {
    if (!sys_paths_fold_case()) return; // POSIX paths already use '/'
    for (char* p = text; *p; p++)
        if (*p == '/') *p = '\\';
}

void path_sort_key(const char* path, char* out, int size) {
    int i = 0;
    for (; path[i] && i < size - 1; i++) {
        char c = path[i] == '\\' ? '/' : path[i];
        out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    out[i] = 0;
}

void file_kind(char* path, int* kind, int64_t* size) {
    *size = 0;
    *kind = 254;
    native_path(path);
    int64_t bytes = 0;
    int k = sys_stat(path, &bytes);
    if (k == 255) {
        *kind = 255;
        return;
    }
    normalise_path(path);
    *size = bytes;
    *kind = k;
}

void memory_status(uint64_t* total_physical, uint64_t* total_page_file,
                   uint64_t* available_physical, uint64_t* available_page_file) {
    sys_memory_status(total_physical, total_page_file, available_physical, available_page_file);
}

void set_priority(int mode) {
    if (mode == s_priority_mode) return;
    s_priority_mode = mode;
    sys_set_priority_class(mode);
}
