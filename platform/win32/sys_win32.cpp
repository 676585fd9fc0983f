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
