// Object registry: every object is a zero-filled record of a declared class, named by a
// process-wide id (never reused) and found again by (class, id). Also the growable sorted
// table that the registry, object lists, indexes and row stores are built on.
#pragma once
#include <cstddef>
#include <cstdint>

enum ObjectClass {
    CLS_IMAGE = 1,
    CLS_WINDOW = 31,
    CLS_VIEW = 32,
    CLS_EXTENT = 33,
    CLS_LAYER = 34,
    CLS_TABLE = 35,
    CLS_TILE_TREE = 36,
    CLS_DRAW_ORDER = 37,
    CLS_FILE_ENTRY = 38,
    CLS_FRAME_CONTROL = 39,
    CLS_REFERENCE_POINTS = 40,
    CLS_SCALE_TRANSFORM = 41,
    CLS_MATRIX_TRANSFORM = 42,
    CLS_TRANSFORM_CHAIN = 44,
    CLS_GEOREF_LINK = 45,
    CLS_MESSAGE = 80,
    CLS_COUNT = 200,
};

// Record of class 35: object list, sorted index, spatial index, text block or row store.
// A row size of 0 marks every use but the row store.
struct Table {
    int32_t id;
    int32_t owner;           // row stores: owning image
    int32_t used_bytes;      // bytes of items in use
    int32_t rows;            // row stores
    int32_t row_size;        // row stores; 0 otherwise
    uint32_t* stamps;        // row stores: use clock at last access, per row
    uint8_t* states;         // row stores: 0 memory only, 1 copy on disk, 255 not decoded
    void* items;             // item array; a row store's row pointers (uint8_t**)
    int32_t rows_per_file;   // row stores
    int32_t* written_rows;   // row stores: 1 + highest row written, per swap file
    intptr_t* swap_files;    // row stores: the open swap file of each file index, -1 for none
    int32_t rows_in_memory;  // row stores: rows that have memory now
    int32_t first_in_memory; // row stores: no row before this one has memory
};

// Item of the class directory and of object lists.
struct ObjectItem {
    int32_t id;
    int32_t cls;
    void* record;
};

using DeleteHook = void (*)(int id, void* record);

void obj_reset();
void obj_set_class_size(int cls, int size);
int obj_class_size(int cls);
void obj_set_delete_hook(int cls, DeleteHook hook);

void* obj_create(int cls, int* out_id);
void* obj_find(int cls, int id);
void obj_delete(int cls, int id);
void* obj_next(int cls, int* id);
void obj_copy(int cls, int source_id, int target_id);
int obj_last_id();
// Count of deletions so far: unchanged means every id seen before still names its object.
int obj_deletions();
int obj_count(int cls);

template <class T> T* obj_find_as(int cls, int id) {
    return static_cast<T*>(obj_find(cls, id));
}

// Table growth: capacity is the next multiple of 1024 strictly above the bytes in use.
// Returns false (status 1) when the reallocation fails.
bool table_set_used(Table* table, int32_t used_bytes);
// Searches over items sorted by their leading 32-bit id (ObjectItem and the spatial index's
// items). Exact position by halving, or -1 when absent.
template <class Item> int sorted_find(const Item* it, int n, int id) {
    if (n == 0) return -1;
    int lo = 0, hi = n - 1;
    while (hi - lo > 1) {
        int mid = (lo + hi) / 2;
        if (it[mid].id > id)
            hi = mid;
        else
            lo = mid;
    }
    if (it[lo].id == id) return lo;
    if (it[hi].id == id) return hi;
    return -1;
}

// First position whose id is not below the key.
template <class Item> int sorted_lower_bound(const Item* it, int n, int id) {
    if (n == 0 || it[n - 1].id < id) return n;
    int lo = 0, hi = n - 1;
    while (hi - lo > 1) {
        int mid = (lo + hi) / 2;
        if (id < it[mid].id)
            hi = mid;
        else
            lo = mid;
    }
    return it[lo].id >= id ? lo : hi;
}

// Tables of ObjectItem sorted by id (class directory, object lists).
int items_count(const Table* t);
int items_find(Table* t, int id);        // exact position or -1
int items_lower_bound(Table* t, int id); // first position not below id
bool items_insert(Table* t, int pos, const ObjectItem& item);
void items_remove(Table* t, int pos);

inline int32_t table_capacity_for(int32_t used_bytes) {
    return (used_bytes / 1024 + 1) * 1024;
}
