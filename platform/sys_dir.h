// Directory search in the working directory, as the directory scan walks it: one search per
// directory level, entry by entry, in whatever order the file system gives.
#pragma once
#include <cstdint>

struct SysFindRecord {
    bool is_directory; // a real directory; a symbolic link to one is not
    bool is_link;
    int64_t size;
    char name[260];
};

// Starts a search over every entry of the working directory. Returns 0 when there is none or
// the directory cannot be read; otherwise a handle to pass on, with the first entry in *out.
intptr_t sys_find_first(SysFindRecord* out);
// Next entry; false at the end.
bool sys_find_next(intptr_t handle, SysFindRecord* out);
void sys_find_close(intptr_t handle);
// The working directory with '/' separators.
bool sys_current_dir(char* out, int size);
