// Operating-system services used by the portable core. One implementation per platform
// (platform/posix, platform/win32); nothing else in the core includes a system header.
#pragma once
#include <cstdint>

// Directory holding the running executable, with '/' separators and no trailing slash.
bool sys_executable_dir(char* out, int size);
bool sys_change_dir(const char* path);
// The four byte counts of the system's memory status.
void sys_memory_status(uint64_t* total_physical, uint64_t* total_page_file,
                       uint64_t* available_physical, uint64_t* available_page_file);
int sys_process_id();
// 0 on success.
int sys_make_dir(const char* path);
// Kind of a path: 1 directory, 6 regular file, 254 other, 255 cannot be queried.
int sys_stat(const char* path, int64_t* size);
// 1 normal priority, anything else idle priority.
void sys_set_priority_class(int mode);
// Root of the scratch directory: "c:/temp" on Windows, the system temporary directory elsewhere.
const char* sys_temp_root();
// True where the file system ignores letter case (paths are then stored lower-cased).
bool sys_paths_fold_case();

// Run-time linking. A path with a directory loads that file; a bare file name is searched for
// by the system's own rules (on Windows the executable's directory comes first). Both give
// nullptr when the library or the function is not there.
void* sys_library_open(const char* path);
void* sys_library_symbol(void* library, const char* name);
// File name of the vendor's ECW decompression library on this system.
const char* sys_ecw_library_name();
