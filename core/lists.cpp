// Object lists and text blocks: class 35 tables of members kept in id order.
#include "core/lists.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"

#include <cstring>

namespace {

Table* find_list(int list) {
    Table* t = obj_find_as<Table>(CLS_TABLE, list);
    if (!t) g_status = ST_NOT_FOUND;
    return t;
}

ObjectItem* items_of(Table* t) {
    return static_cast<ObjectItem*>(t->items);
}

} // namespace

int list_create(int* list_id) {
    obj_create(CLS_TABLE, list_id);
    return g_status;
}

void list_add(int list, int member_class, int member_id, void* member_record) {
    if (list == 0 || member_id == 0) return;
    Table* t = find_list(list);
    if (!t) return;
    if (!member_record) {
        member_record = obj_find(member_class, member_id);
        if (!member_record) {
            g_status = ST_NOT_FOUND;
            return;
        }
    }
    int pos = items_lower_bound(t, member_id);
    if (pos < items_count(t) && items_of(t)[pos].id == member_id) {
        items_of(t)[pos] = ObjectItem{member_id, member_class, member_record};
        return;
    }
    items_insert(t, pos, ObjectItem{member_id, member_class, member_record});
}

void list_remove(int list, int member_id) {
    Table* t = find_list(list);
    if (!t) return;
    int pos = items_find(t, member_id);
    if (pos >= 0) items_remove(t, pos);
}

void list_clear(int list) {
    Table* t = find_list(list);
    if (!t) return;
    mem_free(t->items);
    t->used_bytes = 0;
}

void list_delete_members(int list) {
    Table* t = find_list(list);
    if (!t) return;
    // Take the items out first: a member's deletion may look at the list.
    ObjectItem* members = items_of(t);
    int n = items_count(t);
    t->items = nullptr;
    t->used_bytes = 0;
    for (int i = 0; i < n; i++) obj_delete(members[i].cls, members[i].id);
    mem_free(members);
}

void list_destroy(int list) {
    if (!find_list(list)) return;
    obj_delete(CLS_TABLE, list);
}

void* list_next_of_class(int list, int cls, int* member_id) {
    Table* t = find_list(list);
    if (!t) {
        *member_id = 0;
        return nullptr;
    }
    int n = items_count(t);
    ObjectItem* it = items_of(t);
    for (int pos = items_lower_bound(t, *member_id + 1); pos < n; pos++) {
        if (it[pos].cls == cls) {
            *member_id = it[pos].id;
            return it[pos].record;
        }
    }
    *member_id = 0;
    return nullptr;
}

void* list_next(int list, int* member_class, int* member_id) {
    Table* t = find_list(list);
    int pos = t ? items_lower_bound(t, *member_id + 1) : 0;
    if (!t || pos >= items_count(t)) {
        *member_id = 0;
        *member_class = 0;
        return nullptr;
    }
    *member_id = items_of(t)[pos].id;
    *member_class = items_of(t)[pos].cls;
    return items_of(t)[pos].record;
}

void* list_prev_of_class(int list, int cls, int* member_id) {
    Table* t = find_list(list);
    if (!t) {
        *member_id = 0;
        return nullptr;
    }
    ObjectItem* it = items_of(t);
    for (int pos = items_lower_bound(t, *member_id) - 1; pos >= 0; pos--) {
        if (it[pos].cls == cls) {
            *member_id = it[pos].id;
            return it[pos].record;
        }
    }
    *member_id = 0;
    return nullptr;
}

void* list_last_of_class(int list, int cls, int* member_id) {
    *member_id = 0x7fffffff;
    void* r = list_prev_of_class(list, cls, member_id);
    return r;
}

void* list_find(int list, int member_id, int* member_class) {
    Table* t = find_list(list);
    int pos = t ? items_find(t, member_id) : -1;
    if (pos < 0) {
        if (member_class) *member_class = 0;
        return nullptr;
    }
    if (member_class) *member_class = items_of(t)[pos].cls;
    return items_of(t)[pos].record;
}

int list_count(int list, int cls) {
    Table* t = find_list(list);
    if (!t) return 0;
    int n = items_count(t);
    if (cls == 0) return n;
    int count = 0;
    for (int i = 0; i < n; i++) count += items_of(t)[i].cls == cls;
    return count;
}

char* text_create(const char* text, int* out_id) {
    Table* t = static_cast<Table*>(obj_create(CLS_TABLE, out_id));
    if (!t) return nullptr;
    int n = static_cast<int>(std::strlen(text)) + 1;
    if (!table_set_used(t, n)) return nullptr;
    std::memcpy(t->items, text, static_cast<size_t>(n));
    return static_cast<char*>(t->items);
}
