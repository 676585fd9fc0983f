// Operating-system services on Windows.
#include "platform/sys.h"

#include <windows.h>
#include <direct.h>
#include <sys/stat.h>
#include <cstring>

bool sys_executable_dir(char* out, int size) {
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    for (DWORD i = 0; i < n; i++)
        if (buffer[i] == '\\') buffer[i] = '/';
    char* slash = std::strrchr(buffer, '/');
    if (!slash) return false;
    *slash = 0;
    if (static_cast<int>(std::strlen(buffer)) + 1 > size) return false;
    std::strcpy(out, buffer);
    return true;
}

bool sys_change_dir(const char* path) {
    return _chdir(path) == 0;
}

void sys_memory_status(uint64_t* total_physical, uint64_t* total_page_file,
                       uint64_t* available_physical, uint64_t* available_page_file) {
    MEMORYSTATUS ms;
    ms.dwLength = sizeof ms;
    GlobalMemoryStatus(&ms);
    *total_physical = ms.dwTotalPhys;
    *total_page_file = ms.dwTotalPageFile;
    *available_physical = ms.dwAvailPhys;
    *available_page_file = ms.dwAvailPageFile;
}

int sys_process_id() {
    return static_cast<int>(GetCurrentProcessId());
}

int sys_make_dir(const char* path) {
    return _mkdir(path) == 0 ? 0 : -1;
}

int sys_stat(const char* path, int64_t* size) {
    struct _stati64 st;
    *size = 0;
    if (_stati64(path, &st) != 0) return 255;
    *size = static_cast<int64_t>(st.st_size);
    if (st.st_mode & 0x4000) return 1;
    if (st.st_mode & 0x8000) return 6;
    return 254;
}

void sys_set_priority_class(int mode) {
    SetPriorityClass(GetCurrentProcess(), mode == 1 ? NORMAL_PRIORITY_CLASS : IDLE_PRIORITY_CLASS);
}

const char* sys_temp_root() {
    return "c:/temp";
}

bool sys_paths_fold_case() {
    return true;
}

namespace {
HANDLE handle_of(intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

// Positioned transfers: a synchronous handle takes the offset from the OVERLAPPED record.
OVERLAPPED at_offset(int64_t offset) {
    OVERLAPPED o;
    std::memset(&o, 0, sizeof o);
    o.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    return o;
}

const DWORD k_largest_transfer = 1u << 30;

// Bytes of the next transfer when `left` remain: one call moves at most a gigabyte.
DWORD transfer_size(int64_t left) {
    return left > k_largest_transfer ? k_largest_transfer : static_cast<DWORD>(left);
}

} // namespace

intptr_t sys_file_open_read(const char* path) {
    HANDLE h =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}

int64_t sys_file_size(intptr_t file) {
    LARGE_INTEGER size;
    if (file == -1 || !GetFileSizeEx(handle_of(file), &size)) return -1;
    return static_cast<int64_t>(size.QuadPart);
}

int64_t sys_file_read_at(intptr_t file, int64_t offset, void* data, int64_t count) {
    if (file == -1 || offset < 0) return -1;
    char* out = static_cast<char*>(data);
    int64_t done = 0;
    while (done < count) {
        DWORD want = transfer_size(count - done);
        DWORD got = 0;
        OVERLAPPED o = at_offset(offset + done);
        if (!ReadFile(handle_of(file), out + done, want, &got, &o)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool sys_file_write_at(intptr_t file, int64_t offset, const void* data, int64_t count) {
    if (file == -1 || offset < 0) return false;
    const char* in = static_cast<const char*>(data);
    int64_t done = 0;
    while (done < count) {
        DWORD want = transfer_size(count - done);
        DWORD put = 0;
        OVERLAPPED o = at_offset(offset + done);
        if (!WriteFile(handle_of(file), in + done, want, &put, &o) || put == 0) return false;
        done += put;
    }
    return true;
}

void sys_file_close(intptr_t file) {
    if (file != -1) CloseHandle(handle_of(file));
}

intptr_t sys_swap_create(const char* path) {
    // CREATE_NEW refuses any existing name; the system deletes the file with its last handle.
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}

const char* sys_scratch_leaf() {
    return "dorvane";
}

int sys_scratch_dir(const char* path) {
    int64_t size = 0;
    int kind = sys_stat(path, &size);
    if (kind == 6) return 1;
    if (kind == 255 && sys_make_dir(path) != 0) return 2;
    if (kind == 254) return 3;
    return 0;
}

bool sys_process_alive(int pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;
    bool alive = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return alive;
}

void sys_list_dir(const char* dir, void (*each)(const char* name, void* context), void* context) {
    char pattern[MAX_PATH + 4];
    if (std::strlen(dir) + 3 > sizeof pattern) return;
    std::strcpy(pattern, dir);
    std::strcat(pattern, "/*");
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern, &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0)
            continue;
        each(found.cFileName, context);
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

int sys_remove(const char* path) {
    return DeleteFileA(path) ? 0 : -1;
}

int64_t sys_disk_free(const char* path) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(path, &available, nullptr, nullptr)) return -1;
    return static_cast<int64_t>(available.QuadPart);
}

void* sys_library_open(const char* path) {
    // The loader wants backslashes in a path.
    char native[MAX_PATH];
    if (std::strlen(path) >= sizeof native) return nullptr;
    std::strcpy(native, path);
    for (char* c = native; *c; c++)
        if (*c == '/') *c = '\\';
    // No error box when the file is missing or is not a library for this machine.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(native);
    SetErrorMode(previous);
    return reinterpret_cast<void*>(module);
}

void* sys_library_symbol(void* library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

const char* sys_ecw_library_name() {
    return "NCSEcw.dll";
}
