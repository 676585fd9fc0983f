// Operating-system services on POSIX systems.
#include "platform/sys.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

bool sys_executable_dir(char* out, int size) {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return false;
    buffer[n] = 0;
    char* slash = std::strrchr(buffer, '/');
    if (!slash) return false;
    *slash = 0;
    if (static_cast<int>(std::strlen(buffer)) + 1 > size) return false;
    std::strcpy(out, buffer[0] ? buffer : "/");
    return true;
}

bool sys_change_dir(const char* path) {
    return chdir(path) == 0;
}

void sys_memory_status(uint64_t* total_physical, uint64_t* total_page_file,
                       uint64_t* available_physical, uint64_t* available_page_file) {
    long pages = sysconf(_SC_PHYS_PAGES);
    long available = sysconf(_SC_AVPHYS_PAGES);
    long page = sysconf(_SC_PAGESIZE);
    *total_physical = pages > 0 && page > 0 ? static_cast<uint64_t>(pages) * page : 0;
    *available_physical = available > 0 && page > 0 ? static_cast<uint64_t>(available) * page : 0;
    *total_page_file = *total_physical;
    *available_page_file = *available_physical;
}

int sys_process_id() {
    return static_cast<int>(getpid());
}

int sys_make_dir(const char* path) {
    return mkdir(path, 0777) == 0 ? 0 : -1;
}

int sys_stat(const char* path, int64_t* size) {
    struct stat st;
    *size = 0;
    if (stat(path, &st) != 0) return 255;
    *size = static_cast<int64_t>(st.st_size);
    if (S_ISDIR(st.st_mode)) return 1;
    if (S_ISREG(st.st_mode)) return 6;
    return 254;
}

void sys_set_priority_class(int mode) {
    setpriority(PRIO_PROCESS, 0, mode == 1 ? 0 : 19);
}

const char* sys_temp_root() {
    static char root[1024];
    if (!root[0]) {
        const char* t = std::getenv("TMPDIR");
        std::snprintf(root, sizeof root, "%s", t && *t ? t : "/tmp");
        size_t n = std::strlen(root);
        while (n > 1 && root[n - 1] == '/') root[--n] = 0;
    }
    return root;
}

bool sys_paths_fold_case() {
    return false;
}

void* sys_library_open(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* sys_library_symbol(void* library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

const char* sys_ecw_library_name() {
    return "libNCSEcw.so";
}
