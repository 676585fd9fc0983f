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

// Files read by the decoders and the store's swap files, with 64-bit offsets everywhere. A
// handle is -1 when there is none.
intptr_t sys_file_open_read(const char* path);
// Bytes in the file, or -1 when they cannot be had.
int64_t sys_file_size(intptr_t file);
// Bytes read at the offset (fewer at the end of the file), -1 on a failure.
int64_t sys_file_read_at(intptr_t file, int64_t offset, void* data, int64_t count);
// True only when every byte reached the file at that offset.
bool sys_file_write_at(intptr_t file, int64_t offset, const void* data, int64_t count);
void sys_file_close(intptr_t file);
// A new swap file, open for reading and writing by this user only. Never made through a name
// that exists already (a planted link included). Where the system allows, the name is removed
// at once, so the file goes with its handle even when the process is killed.
intptr_t sys_swap_create(const char* path);

// Name of the scratch directory below its root: per user where the system has owners.
const char* sys_scratch_leaf();
// Makes the scratch directory when it is missing and checks it. 0 when it is a directory only
// this user can reach; 1 when a file is there; 2 when it cannot be made; 3 when it is a link,
// belongs to someone else or is open to others.
int sys_scratch_dir(const char* path);
// False only when no process has that id any more.
bool sys_process_alive(int pid);
// Calls `each` with the name of every entry of the directory but "." and "..".
void sys_list_dir(const char* dir, void (*each)(const char* name, void* context), void* context);
// Removes a file (a link itself, never what it points to); 0 on success.
int sys_remove(const char* path);
// Bytes free for this user on the disk that holds the path, or -1 when unknown.
int64_t sys_disk_free(const char* path);

// Run-time linking. A path with a directory loads that file; a bare file name is searched for
// by the system's own rules (on Windows the executable's directory comes first). Both give
// nullptr when the library or the function is not there.
void* sys_library_open(const char* path);
void* sys_library_symbol(void* library, const char* name);
// File name of the vendor's ECW decompression library on this system.
const char* sys_ecw_library_name();
