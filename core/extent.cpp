// Spatial indexes: (object id, owned bounds record) sorted by id, with an optional group item
// whose bounds are the union of all others.
#include "core/lists.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"

#include <cstring>

namespace {

struct ExtentItem {
    int32_t id;
    Bounds* bounds;
};

ExtentItem* items_of(Table* t) {
    return static_cast<ExtentItem*>(t->items);
}
int count_of(const Table* t) {
    return t->used_bytes / static_cast<int>(sizeof(ExtentItem));
}

int find_exact(Table* t, int id) {
    return sorted_find(items_of(t), count_of(t), id);
}

bool insert(Table* t, int id, Bounds* bounds) {
    int n = count_of(t);
    int pos = sorted_lower_bound(items_of(t), n, id);
    if (!table_set_used(t, (n + 1) * static_cast<int>(sizeof(ExtentItem)))) return false;
    ExtentItem* it = items_of(t);
    std::memmove(it + pos + 1, it + pos, static_cast<size_t>(n - pos) * sizeof(ExtentItem));
    it[pos] = ExtentItem{id, bounds};
    return true;
}

void unite(Bounds* into, const Bounds* b) {
    if (b->min_x < into->min_x) into->min_x = b->min_x;
    if (b->min_y < into->min_y) into->min_y = b->min_y;
    if (b->max_x > into->max_x) into->max_x = b->max_x;
    if (b->max_y > into->max_y) into->max_y = b->max_y;
}

Table* find_index(int index) {
    Table* t = obj_find_as<Table>(CLS_TABLE, index);
    if (!t) g_status = ST_NOT_FOUND;
    return t;
}

void free_bounds(Table* t) {
    for (int i = 0; i < count_of(t); i++) mem_free(items_of(t)[i].bounds);
}

} // namespace

void extent_create(int group_id, int* out_index) {
    Table* t = static_cast<Table*>(obj_create(CLS_TABLE, out_index));
    if (t && group_id) insert(t, group_id, nullptr);
}

void extent_add(int index, int group_id, int object_id, Bounds* bounds) {
    Table* t = find_index(index);
    if (!t) return;
    int existing = find_exact(t, object_id);
    if (existing >= 0) {
        mem_free(items_of(t)[existing].bounds);
        items_of(t)[existing].bounds = bounds;
    } else if (!insert(t, object_id, bounds)) {
        return;
    }
    int g = group_id ? find_exact(t, group_id) : -1;
    if (g < 0 || !bounds) return;
    ExtentItem* group = &items_of(t)[g];
    if (group->bounds) {
        unite(group->bounds, bounds);
    } else if (mem_alloc(group->bounds, sizeof(Bounds))) {
        *group->bounds = *bounds;
        group->bounds->owner = group_id;
    }
}

void extent_remove(int index, int group_id, int object_id) {
    Table* t = find_index(index);
    if (!t) return;
    int pos = find_exact(t, object_id);
    if (pos >= 0) {
        mem_free(items_of(t)[pos].bounds);
        int n = count_of(t);
        ExtentItem* it = items_of(t);
        std::memmove(it + pos, it + pos + 1, static_cast<size_t>(n - pos - 1) * sizeof(ExtentItem));
        table_set_used(t, (n - 1) * static_cast<int>(sizeof(ExtentItem)));
    }
    int g = group_id ? find_exact(t, group_id) : -1;
    if (g < 0) return;
    ExtentItem* group = &items_of(t)[g];
    mem_free(group->bounds);
    for (int i = 0; i < count_of(t); i++) {
        const Bounds* b = items_of(t)[i].bounds;
        if (i == g || !b) continue;
        if (!group->bounds) {
            if (!mem_alloc(group->bounds, sizeof(Bounds))) return;
            *group->bounds = *b;
            group->bounds->owner = group_id;
        } else {
            unite(group->bounds, b);
        }
    }
}

void extent_bounds(int index, int object_id, double* min_x, double* min_y, double* max_x,
                   double* max_y) {
    *min_x = *min_y = *max_x = *max_y = 0;
    Table* t = find_index(index);
    if (!t) return;
    int pos = find_exact(t, object_id);
    if (pos < 0 || !items_of(t)[pos].bounds) return;
    const Bounds* b = items_of(t)[pos].bounds;
    *min_x = b->min_x, *min_y = b->min_y, *max_x = b->max_x, *max_y = b->max_y;
}

void extent_clear(int index) {
    Table* t = find_index(index);
    if (!t) return;
    free_bounds(t);
    mem_free(t->items);
    t->used_bytes = 0;
}

void extent_destroy(int index) {
    extent_clear(index);
    obj_delete(CLS_TABLE, index);
}
