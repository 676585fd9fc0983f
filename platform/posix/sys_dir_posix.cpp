// Directory search on POSIX: readdir over the working directory, lstat for each entry.
#include "platform/sys_dir.h"

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fill_record(DIR* dir, SysFindRecord* out) {
    dirent* e = readdir(dir);
    if (!e) return false;
    std::snprintf(out->name, sizeof out->name, "%s", e->d_name);
    struct stat st {};
    out->is_directory = false;
    out->is_link = false;
    out->size = 0;
    if (lstat(e->d_name, &st) == 0) {
        out->is_directory = S_ISDIR(st.st_mode);
        out->is_link = S_ISLNK(st.st_mode);
        out->size = st.st_size;
    }
    return true;
}

} // namespace

intptr_t sys_find_first(SysFindRecord* out) {
    DIR* dir = opendir(".");
    if (!dir) return 0;
    if (!fill_record(dir, out)) {
        closedir(dir);
        return 0;
    }
    return reinterpret_cast<intptr_t>(dir);
}

bool sys_find_next(intptr_t handle, SysFindRecord* out) {
    if (!handle) return false;
    return fill_record(reinterpret_cast<DIR*>(handle), out);
}

void sys_find_close(intptr_t handle) {
    if (handle) closedir(reinterpret_cast<DIR*>(handle));
}

bool sys_current_dir(char* out, int size) {
    if (size < 2 || !getcwd(out, static_cast<size_t>(size))) return false;
    return true;
}
