// Directory search on Windows: _findfirst / _findnext over "*" in the working directory.
#include "platform/sys_dir.h"

#include <cstdio>
#include <direct.h>
#include <io.h>

namespace {

void fill_record(const _finddata_t& found, SysFindRecord* out) {
    std::snprintf(out->name, sizeof out->name, "%s", found.name);
    out->is_directory = (found.attrib & _A_SUBDIR) != 0;
    out->is_link = false;
    out->size = static_cast<int64_t>(found.size);
}

// _findfirst handles are -1 on failure; the shell takes 0 for "none", so shift by one.
intptr_t to_handle(intptr_t find) {
    return find + 1;
}
intptr_t from_handle(intptr_t handle) {
    return handle - 1;
}

} // namespace

intptr_t sys_find_first(SysFindRecord* out) {
    _finddata_t found;
    intptr_t find = _findfirst("*", &found);
    if (find == -1) return 0;
    fill_record(found, out);
    return to_handle(find);
}

bool sys_find_next(intptr_t handle, SysFindRecord* out) {
    if (!handle) return false;
    _finddata_t found;
    if (_findnext(from_handle(handle), &found) != 0) return false;
    fill_record(found, out);
    return true;
}

void sys_find_close(intptr_t handle) {
    if (handle) _findclose(from_handle(handle));
}

bool sys_current_dir(char* out, int size) {
    if (size < 2 || !_getcwd(out, size)) return false;
    for (char* p = out; *p; p++)
        if (*p == '\\') *p = '/';
    return true;
}
