#include "core/mem.h"
#include "core/status.h"

#include <cstdlib>
#include <cstring>

namespace {
// No single block may exceed this: a corrupt header asking for more is out of memory, not a
// request the system allocator should be trusted to refuse gracefully.
constexpr size_t k_max_block = (sizeof(void*) >= 8) ? (size_t{1} << 31) - 1 : (size_t{1} << 30);
} // namespace

void* mem_alloc_raw(void** holder, size_t size) {
    mem_free_raw(holder);
    void* p = size <= k_max_block ? std::malloc(size ? size : 1) : nullptr;
    if (!p) g_status = ST_NO_MEMORY;
    *holder = p;
    return p;
}

void* mem_alloc_zeroed_raw(void** holder, size_t size) {
    mem_free_raw(holder);
    void* p = size <= k_max_block ? std::calloc(size ? size : 1, 1) : nullptr;
    if (!p) g_status = ST_NO_MEMORY;
    *holder = p;
    return p;
}

void* mem_realloc_raw(void** holder, size_t size) {
    if (!*holder) return mem_alloc_raw(holder, size);
    void* p = size <= k_max_block ? std::realloc(*holder, size ? size : 1) : nullptr;
    if (!p) {
        std::free(*holder);
        g_status = ST_NO_MEMORY;
    }
    *holder = p;
    return p;
}

void mem_free_raw(void** holder) {
    if (*holder) {
        std::free(*holder);
        *holder = nullptr;
    }
}

namespace {
unsigned char* s_scratch = nullptr;
long s_scratch_capacity = 0;
} // namespace

unsigned char* scratch_buffer(long size) {
    if (size > s_scratch_capacity) {
        if (!mem_realloc(s_scratch, static_cast<size_t>(size) + 10)) {
            s_scratch_capacity = 0;
            return nullptr;
        }
        s_scratch_capacity = size;
    }
    return s_scratch;
}

char* mem_strdup(char*& holder, const char* text) {
    size_t n = std::strlen(text) + 1;
    if (!mem_alloc(holder, n)) return nullptr;
    std::memcpy(holder, text, n);
    return holder;
}
