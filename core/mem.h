// Memory holders: a pointer that owns at most one block. Failures set status 1.
#pragma once
#include <cstddef>

void* mem_alloc_raw(void** holder, size_t size);
void* mem_realloc_raw(void** holder, size_t size);
// A block of zeros: the allocator knows when fresh memory from the system needs no clearing.
void* mem_alloc_zeroed_raw(void** holder, size_t size);
void mem_free_raw(void** holder);

template <class T> T* mem_alloc(T*& holder, size_t size) {
    void* p = holder;
    T* r = static_cast<T*>(mem_alloc_raw(&p, size));
    holder = static_cast<T*>(p);
    return r;
}
template <class T> T* mem_alloc_zeroed(T*& holder, size_t size) {
    void* p = holder;
    T* r = static_cast<T*>(mem_alloc_zeroed_raw(&p, size));
    holder = static_cast<T*>(p);
    return r;
}
template <class T> T* mem_realloc(T*& holder, size_t size) {
    void* p = holder;
    T* r = static_cast<T*>(mem_realloc_raw(&p, size));
    holder = static_cast<T*>(p);
    return r;
}
template <class T> void mem_free(T*& holder) {
    void* p = holder;
    mem_free_raw(&p);
    holder = nullptr;
}

// One process-wide buffer for a temporary row or header; valid until the next growing call.
unsigned char* scratch_buffer(long size);

// Owned copy of a text (status 1 on failure, holder empty).
char* mem_strdup(char*& holder, const char* text);
