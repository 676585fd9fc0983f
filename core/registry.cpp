#include "core/registry.h"
#include "core/mem.h"
#include "core/status.h"

#include <cstring>

namespace {

Table s_directory[CLS_COUNT];
int s_class_size[CLS_COUNT];
DeleteHook s_delete_hook[CLS_COUNT];
int s_last_id = 0;
int s_deletions = 0; // objects deleted so far; lets indexes skip looking for deleted members

ObjectItem* items_of(Table* t) {
    return static_cast<ObjectItem*>(t->items);
}
int count_of(const Table* t) {
    return items_count(t);
}
bool valid_class(int cls) {
    return cls >= 0 && cls < CLS_COUNT;
}
int find_exact(Table* t, int id) {
    return items_find(t, id);
}
int lower_bound(Table* t, int id) {
    return items_lower_bound(t, id);
}

int next_id() {
    if (s_last_id == 0x7fffffff) return 0;
    return ++s_last_id;
}

} // namespace

int items_count(const Table* t) {
    return t->used_bytes / static_cast<int>(sizeof(ObjectItem));
}

int items_find(Table* t, int id) {
    return sorted_find(items_of(t), count_of(t), id);
}

int items_lower_bound(Table* t, int id) {
    return sorted_lower_bound(items_of(t), count_of(t), id);
}

bool items_insert(Table* t, int pos, const ObjectItem& item) {
    int n = items_count(t);
    if (!table_set_used(t, (n + 1) * static_cast<int>(sizeof(ObjectItem)))) return false;
    ObjectItem* it = items_of(t);
    std::memmove(it + pos + 1, it + pos, static_cast<size_t>(n - pos) * sizeof(ObjectItem));
    it[pos] = item;
    return true;
}

void items_remove(Table* t, int pos) {
    int n = items_count(t);
    ObjectItem* it = items_of(t);
    std::memmove(it + pos, it + pos + 1, static_cast<size_t>(n - pos - 1) * sizeof(ObjectItem));
    table_set_used(t, (n - 1) * static_cast<int>(sizeof(ObjectItem)));
}

bool table_set_used(Table* table, int32_t used_bytes) {
    if (!mem_realloc(table->items, static_cast<size_t>(table_capacity_for(used_bytes)))) {
        table->used_bytes = 0;
        return false;
    }
    table->used_bytes = used_bytes;
    return true;
}

void obj_reset() {
    // Delete what exists (hooks still set), so that a reset releases every record and block.
    for (int cls = 0; cls < CLS_COUNT; cls++) {
        Table* t = &s_directory[cls];
        while (count_of(t) > 0) obj_delete(cls, items_of(t)[count_of(t) - 1].id);
    }
    for (Table& t : s_directory) {
        mem_free(t.items);
        t.used_bytes = 0;
    }
    std::memset(s_class_size, 0, sizeof s_class_size);
    std::memset(s_delete_hook, 0, sizeof s_delete_hook);
}

void obj_set_class_size(int cls, int size) {
    if (valid_class(cls)) s_class_size[cls] = size;
}

int obj_class_size(int cls) {
    return valid_class(cls) ? s_class_size[cls] : 0;
}

void obj_set_delete_hook(int cls, DeleteHook hook) {
    if (valid_class(cls)) s_delete_hook[cls] = hook;
}

int obj_last_id() {
    return s_last_id;
}

int obj_deletions() {
    return s_deletions;
}

int obj_count(int cls) {
    return valid_class(cls) ? count_of(&s_directory[cls]) : 0;
}

void* obj_create(int cls, int* out_id) {
    *out_id = 0;
    int id = next_id();
    if (id < 1) {
        g_status = ST_VALUE;
        return nullptr;
    }
    if (!valid_class(cls) || s_class_size[cls] < 1) {
        g_status = ST_NO_MEMORY;
        return nullptr;
    }
    void* record = nullptr;
    if (!mem_alloc(record, static_cast<size_t>(s_class_size[cls]))) return nullptr;
    std::memset(record, 0, static_cast<size_t>(s_class_size[cls]));
    Table* t = &s_directory[cls];
    if (!items_insert(t, lower_bound(t, id), ObjectItem{id, 0, record})) {
        mem_free(record);
        return nullptr;
    }
    *static_cast<int32_t*>(record) = id;
    *out_id = id;
    return record;
}

void* obj_find(int cls, int id) {
    if (!valid_class(cls)) return nullptr;
    Table* t = &s_directory[cls];
    int pos = find_exact(t, id);
    return pos < 0 ? nullptr : items_of(t)[pos].record;
}

void obj_delete(int cls, int id) {
    if (!valid_class(cls)) return;
    Table* t = &s_directory[cls];
    int pos = find_exact(t, id);
    if (pos < 0) return;
    void* record = items_of(t)[pos].record;
    s_deletions++;
    if (s_delete_hook[cls]) s_delete_hook[cls](id, record);
    mem_free(record);
    // The hook may have deleted other objects of this class: find the item again.
    pos = find_exact(t, id);
    if (pos >= 0) items_remove(t, pos);
}

void* obj_next(int cls, int* id) {
    if (!valid_class(cls)) {
        *id = 0;
        return nullptr;
    }
    Table* t = &s_directory[cls];
    int pos = *id == 0x7fffffff ? count_of(t) : lower_bound(t, *id + 1);
    if (pos >= count_of(t)) {
        *id = 0;
        return nullptr;
    }
    *id = items_of(t)[pos].id;
    return items_of(t)[pos].record;
}

void obj_copy(int cls, int source_id, int target_id) {
    void* source = obj_find(cls, source_id);
    void* target = obj_find(cls, target_id);
    if (!source || !target) {
        g_status = ST_NOT_FOUND;
        return;
    }
    size_t n = static_cast<size_t>(s_class_size[cls]);
    std::memcpy(static_cast<char*>(target) + 4, static_cast<char*>(source) + 4, n - 4);
}
