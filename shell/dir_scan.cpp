#include "shell/dir_scan.h"
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "image/file_entry.h"
#include "platform/sys.h"
#include "platform/sys_dir.h"
#include "core/services.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr int k_max_depth = 99;
constexpr int k_dir_path_max = 255;  // characters of the directory path
constexpr int k_file_path_max = 263; // characters of a file path

enum ScanEvent { EV_ERROR = 0, EV_FILE = 1, EV_DIRECTORY = 2, EV_END = 3, EV_NEXT = 4 };
constexpr int k_events = 5;
constexpr int k_states = 3;

struct ScanState {
    char dir_path[k_dir_path_max + 1];
    char file_path[k_file_path_max + 1];
    int depth;
    intptr_t handles[k_max_depth + 1]; // per level 1..99
    SysFindRecord found[k_max_depth + 1];
    int* target_list;
    int event;
    int state;
    bool ended;
};
ScanState s_scan;

void lower_dir_path() {
    char* dir = s_scan.dir_path;
    normalise_path(dir);
}

// Appends "name/" to the directory path; false (nothing appended) when it would not fit.
bool append_directory(const char* name) {
    size_t used = std::strlen(s_scan.dir_path);
    size_t length = std::strlen(name);
    if (used + length + 1 > static_cast<size_t>(k_dir_path_max)) return false;
    std::memcpy(s_scan.dir_path + used, name, length);
    s_scan.dir_path[used + length] = '/';
    s_scan.dir_path[used + length + 1] = 0;
    lower_dir_path();
    return true;
}

// Cuts the directory path back to the '/' before its last one.
void cut_last_directory() {
    size_t n = std::strlen(s_scan.dir_path);
    if (n > 0 && s_scan.dir_path[n - 1] == '/') s_scan.dir_path[--n] = 0;
    char* slash = std::strrchr(s_scan.dir_path, '/');
    if (slash) slash[1] = 0;
}

bool is_dot_entry(const SysFindRecord& r) {
    return r.is_directory && (!std::strcmp(r.name, ".") || !std::strcmp(r.name, ".."));
}

// Whether a found entry is taken: "." and "..", and names whose paths would not fit in the
// scan's buffers, are passed over.
bool entry_taken(const SysFindRecord& r) {
    if (is_dot_entry(r)) return false;
    size_t room = r.is_directory ? k_dir_path_max : k_file_path_max;
    return std::strlen(s_scan.dir_path) + std::strlen(r.name) + 1 <= room;
}

// Event for the entry just found at the current depth.
void classify_found() {
    SysFindRecord& r = s_scan.found[s_scan.depth];
    if (r.is_directory) {
        s_scan.event = append_directory(r.name) ? EV_DIRECTORY : EV_NEXT;
    } else {
        s_scan.event = EV_FILE;
    }
}

// Searches on at the current depth until an entry is taken or the search ends.
void search_on(bool have_first) {
    intptr_t handle = s_scan.handles[s_scan.depth];
    SysFindRecord& r = s_scan.found[s_scan.depth];
    bool have = have_first;
    while (have && !entry_taken(r)) have = sys_find_next(handle, &r);
    if (!have) {
        s_scan.event = EV_END;
        return;
    }
    classify_found();
}

void add_entry(const char* path, int kind, int64_t size) {
    int id = 0;
    create_file_entry(path, s_scan.target_list, &id);
    if (g_status) return;
    auto* entry = obj_find_as<FileEntry>(CLS_FILE_ENTRY, id);
    if (!entry) return;
    entry->depth = s_scan.depth;
    entry->kind = kind;
    entry->size = size;
}

void act_enter_level() {
    bool refused = s_scan.depth >= k_max_depth;
    if (refused || !sys_change_dir(s_scan.dir_path)) {
        // The directory cannot be entered (or lies too deep): pass it over.
        if (s_scan.depth > 0) cut_last_directory();
        s_scan.event = EV_NEXT;
        return;
    }
    s_scan.depth++;
    SysFindRecord& r = s_scan.found[s_scan.depth];
    intptr_t handle = sys_find_first(&r);
    s_scan.handles[s_scan.depth] = handle;
    search_on(handle != 0);
    add_entry(s_scan.dir_path, KIND_DIRECTORY, 0);
}

void act_make_file_path() {
    int n = std::snprintf(s_scan.file_path, sizeof s_scan.file_path, "%s%s", s_scan.dir_path,
                          s_scan.found[s_scan.depth].name);
    if (n < 0 || n >= static_cast<int>(sizeof s_scan.file_path)) {
        // Too long for the scan's buffer: a cut path would name another file, so pass it over.
        s_scan.event = EV_FILE;
        return;
    }
    normalise_path(s_scan.file_path);
    s_scan.event = EV_NEXT;
}

void act_add_file() {
    char path[k_file_path_max + 1];
    std::snprintf(path, sizeof path, "%s", s_scan.file_path);
    int kind = KIND_MISSING;
    int64_t size = 0;
    file_kind(path, &kind, &size);
    add_entry(s_scan.file_path, kind, size);
    s_scan.event = EV_END;
}

void act_after_file() {
    s_scan.event = EV_FILE;
}

void act_find_next() {
    if (s_scan.depth < 1) {
        s_scan.event = EV_END;
        return;
    }
    intptr_t handle = s_scan.handles[s_scan.depth];
    search_on(sys_find_next(handle, &s_scan.found[s_scan.depth]));
}

void act_leave_level() {
    if (s_scan.depth >= 1) {
        sys_find_close(s_scan.handles[s_scan.depth]);
        s_scan.handles[s_scan.depth] = 0;
    }
    sys_change_dir("..");
    cut_last_directory();
    s_scan.depth--;
    if (s_scan.depth > 0)
        s_scan.event = EV_FILE;
    else
        s_scan.ended = true;
}

void act_scan_error() {
    s_scan.ended = true;
    g_status = ST_SYSTEM;
}

using ScanAction = void (*)();
struct ScanStep {
    ScanAction action;
    int next_state;
};

// (state, event) -> action and next state. Events: 0 error, 1 file, 2 directory, 3 end of a
// search or of a file, 4 go on searching.
const ScanStep k_scan_table[k_states][k_events] = {
    {{act_scan_error, 0},
     {act_scan_error, 0},
     {act_enter_level, 1},
     {act_scan_error, 0},
     {act_scan_error, 0}},
    {{act_scan_error, 0},
     {act_make_file_path, 2},
     {act_enter_level, 1},
     {act_leave_level, 2},
     {act_find_next, 1}},
    {{act_scan_error, 0},
     {act_find_next, 1},
     {act_scan_error, 0},
     {act_after_file, 2},
     {act_add_file, 2}},
};

// Closes the searches left open when the scan stops early.
void close_open_searches() {
    for (int d = 1; d <= k_max_depth; d++) {
        if (s_scan.handles[d]) sys_find_close(s_scan.handles[d]);
        s_scan.handles[d] = 0;
    }
}

bool is_absolute(const char* path) {
    bool drive = std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
    return path[0] == '/' || drive;
}

} // namespace

void scan_directory(const char* path, int* list_holder) {
    if (*list_holder == 0) list_create(list_holder);
    if (g_status) return;
    std::memset(&s_scan, 0, sizeof s_scan);
    if (std::strlen(path) + 1 > static_cast<size_t>(k_dir_path_max) || !sys_change_dir(path)) {
        g_status = ST_BAD_ARGS;
        return;
    }
    // Levels are entered by their full path, so a relative path is made absolute first.
    if (is_absolute(path)) {
        std::snprintf(s_scan.dir_path, sizeof s_scan.dir_path, "%s", path);
    } else if (!sys_current_dir(s_scan.dir_path, sizeof s_scan.dir_path - 1)) {
        g_status = ST_BAD_ARGS;
        return;
    }
    lower_dir_path();
    size_t n = std::strlen(s_scan.dir_path);
    if (n == 0 || s_scan.dir_path[n - 1] != '/') {
        if (n + 1 > static_cast<size_t>(k_dir_path_max)) {
            g_status = ST_BAD_ARGS;
            return;
        }
        s_scan.dir_path[n] = '/';
        s_scan.dir_path[n + 1] = 0;
    }
    s_scan.target_list = list_holder;
    s_scan.state = 0;
    s_scan.event = EV_DIRECTORY;
    do {
        int event = s_scan.event >= 0 && s_scan.event < k_events ? s_scan.event : EV_ERROR;
        const ScanStep& step = k_scan_table[s_scan.state][event];
        step.action();
        if (g_status) break;
        s_scan.state = step.next_state;
    } while (!s_scan.ended);
    close_open_searches();
}
