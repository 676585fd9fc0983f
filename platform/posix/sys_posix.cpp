// Operating-system services on POSIX systems.
#define _FILE_OFFSET_BITS 64
#include "platform/sys.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

intptr_t sys_file_open_read(const char* path) {
    int fd;
    do fd = open(path, O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int64_t sys_file_size(intptr_t file) {
    struct stat st;
    if (file < 0 || fstat(static_cast<int>(file), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t sys_file_read_at(intptr_t file, int64_t offset, void* data, int64_t count) {
    if (file < 0 || offset < 0) return -1;
    char* out = static_cast<char*>(data);
    int64_t done = 0;
    while (done < count) {
        ssize_t n = pread(static_cast<int>(file), out + done, static_cast<size_t>(count - done),
                          static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break; // end of the file
        done += n;
    }
    return done;
}

bool sys_file_write_at(intptr_t file, int64_t offset, const void* data, int64_t count) {
    if (file < 0 || offset < 0) return false;
    const char* in = static_cast<const char*>(data);
    int64_t done = 0;
    while (done < count) {
        ssize_t n = pwrite(static_cast<int>(file), in + done, static_cast<size_t>(count - done),
                           static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false; // a full disk, a file size limit, an I/O error
        done += n;
    }
    return true;
}

void sys_file_close(intptr_t file) {
    if (file >= 0) close(static_cast<int>(file));
}

intptr_t sys_swap_create(const char* path) {
    // Past a file size limit a write must fail with an error rather than end the process.
    static bool size_signal_ignored = false;
    if (!size_signal_ignored) {
        std::signal(SIGXFSZ, SIG_IGN);
        size_signal_ignored = true;
    }
    int fd;
    do fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    unlink(path);
    return fd;
}

const char* sys_scratch_leaf() {
    static char leaf[64];
    if (!leaf[0])
        std::snprintf(leaf, sizeof leaf, "dorvane-%lu", static_cast<unsigned long>(geteuid()));
    return leaf;
}

int sys_scratch_dir(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        if (errno != ENOENT) return 2;
        if (mkdir(path, 0700) != 0 && errno != EEXIST) return 2;
        if (lstat(path, &st) != 0) return 2;
    }
    if (S_ISREG(st.st_mode)) return 1;
    if (!S_ISDIR(st.st_mode)) return 3; // a link, whatever it points to, or something else
    if (st.st_uid != geteuid() || (st.st_mode & 077) != 0) return 3;
    return 0;
}

bool sys_process_alive(int pid) {
    if (pid <= 0) return true;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

void sys_list_dir(const char* dir, void (*each)(const char* name, void* context), void* context) {
    DIR* d = opendir(dir);
    if (!d) return;
    while (dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        each(e->d_name, context);
    }
    closedir(d);
}

int sys_remove(const char* path) {
    return unlink(path) == 0 ? 0 : -1;
}

int64_t sys_disk_free(const char* path) {
    struct statvfs st;
    if (statvfs(path, &st) != 0) return -1;
    return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
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
