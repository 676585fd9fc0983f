// Sorted indexes: member ids ordered by a key stored in the members' records, then by id.
#include "core/lists.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"

#include <cstring>

namespace {

struct IndexRegistration {
    int32_t index_id;
    int32_t cls;
    int32_t key_offset;
    int32_t key_type;
    int32_t checked_deletions; // registry deletion count when the members were last checked
};

IndexRegistration* s_registrations = nullptr;
int s_registration_count = 0;

IndexRegistration* registration_of(int index) {
    for (int i = 0; i < s_registration_count; i++)
        if (s_registrations[i].index_id == index) return &s_registrations[i];
    return nullptr;
}

template <class T> int compare_values(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

template <class T> T field(const void* record, int offset) {
    T v;
    std::memcpy(&v, static_cast<const char*>(record) + offset, sizeof v);
    return v;
}

int compare_keys(const IndexRegistration* r, const void* a, const void* b) {
    switch (r->key_type) {
    case KEY_TEXT: {
        const char* ta = field<const char*>(a, r->key_offset);
        const char* tb = field<const char*>(b, r->key_offset);
        int c = std::strcmp(ta ? ta : "", tb ? tb : "");
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case KEY_S8:
        return compare_values(field<int8_t>(a, r->key_offset), field<int8_t>(b, r->key_offset));
    case KEY_U32:
    case KEY_U32_B:
        return compare_values(field<uint32_t>(a, r->key_offset), field<uint32_t>(b, r->key_offset));
    case KEY_F32:
        return compare_values(field<float>(a, r->key_offset), field<float>(b, r->key_offset));
    case KEY_F64:
        return compare_values(field<double>(a, r->key_offset), field<double>(b, r->key_offset));
    default:
        return compare_values(field<int32_t>(a, r->key_offset), field<int32_t>(b, r->key_offset));
    }
}

// (key, id) order between an object and a member.
int compare_objects(const IndexRegistration* r, const void* a, int id_a, const void* b, int id_b) {
    int c = compare_keys(r, a, b);
    return c ? c : compare_values(id_a, id_b);
}

int32_t* ids_of(Table* t) {
    return static_cast<int32_t*>(t->items);
}
int count_of(const Table* t) {
    return t->used_bytes / 4;
}

// Drops ids of members that were deleted since they were inserted. Nothing can have gone when
// the registry deleted nothing since the last check.
void purge_deleted(Table* t, IndexRegistration* r) {
    if (r->checked_deletions == obj_deletions()) return;
    r->checked_deletions = obj_deletions();
    int n = count_of(t), kept = 0;
    int32_t* ids = ids_of(t);
    for (int i = 0; i < n; i++)
        if (obj_find(r->cls, ids[i])) ids[kept++] = ids[i];
    if (kept != n) table_set_used(t, kept * 4);
}

// Number of members that sort at or before the object (so the position of the first member
// that sorts after it).
int position_after(Table* t, const IndexRegistration* r, const void* record, int id) {
    int n = count_of(t);
    int32_t* ids = ids_of(t);
    auto after = [&](int pos) { // member at pos sorts after the object
        return compare_objects(r, record, id, obj_find(r->cls, ids[pos]), ids[pos]) < 0;
    };
    if (n == 0 || after(0)) return 0;
    if (!after(n - 1)) return n;
    int lo = 0, hi = n - 1; // member lo is not after, member hi is after
    while (hi - lo > 1) {
        int mid = (lo + hi) / 2;
        if (after(mid))
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

// Number of members that sort strictly before the object.
int position_before(Table* t, const IndexRegistration* r, const void* record, int id) {
    int n = count_of(t);
    int32_t* ids = ids_of(t);
    auto before = [&](int pos) {
        return compare_objects(r, record, id, obj_find(r->cls, ids[pos]), ids[pos]) > 0;
    };
    if (n == 0 || !before(0)) return 0;
    if (before(n - 1)) return n;
    int lo = 0, hi = n - 1; // member lo is before, member hi is not
    while (hi - lo > 1) {
        int mid = (lo + hi) / 2;
        if (before(mid))
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

bool prepare(int index, Table** t, IndexRegistration** r) {
    *t = obj_find_as<Table>(CLS_TABLE, index);
    *r = registration_of(index);
    if (!*t || !*r) {
        g_status = ST_NOT_FOUND;
        return false;
    }
    purge_deleted(*t, *r);
    return true;
}

} // namespace

int index_build(int list, int cls, int key_offset, int key_type, int* out_index) {
    *out_index = 0;
    int id = 0;
    if (!obj_create(CLS_TABLE, &id)) return 0;
    if (s_registration_count % 10 == 0) {
        size_t bytes = static_cast<size_t>(s_registration_count + 10) * sizeof(IndexRegistration);
        if (!mem_realloc(s_registrations, bytes)) {
            s_registration_count = 0;
            return 0;
        }
    }
    s_registrations[s_registration_count++] =
        IndexRegistration{id, cls, key_offset, key_type, obj_deletions()};
    *out_index = id;
    int member = 0;
    while (list_next_of_class(list, cls, &member) && member) index_insert(id, member);
    return id;
}

void index_insert(int index, int object_id) {
    Table* t;
    IndexRegistration* r;
    if (!prepare(index, &t, &r)) return;
    const void* record = obj_find(r->cls, object_id);
    if (!record) {
        g_status = ST_NOT_FOUND;
        return;
    }
    int pos = position_after(t, r, record, object_id);
    int n = count_of(t);
    if (!table_set_used(t, (n + 1) * 4)) return;
    int32_t* ids = ids_of(t);
    std::memmove(ids + pos + 1, ids + pos, static_cast<size_t>(n - pos) * 4);
    ids[pos] = object_id;
}

int index_find(int index, int object_id) {
    Table* t;
    IndexRegistration* r;
    if (!prepare(index, &t, &r)) return 0;
    int n = count_of(t);
    if (n == 0) return 0;
    const void* record = object_id ? obj_find(r->cls, object_id) : nullptr;
    if (!record) return ids_of(t)[0];
    int pos = position_after(t, r, record, object_id);
    return pos < n ? ids_of(t)[pos] : 0;
}

int index_find_last(int index, int object_id) {
    Table* t;
    IndexRegistration* r;
    if (!prepare(index, &t, &r)) return 0;
    int n = count_of(t);
    if (n == 0) return 0;
    const void* record = object_id ? obj_find(r->cls, object_id) : nullptr;
    if (!record) return ids_of(t)[n - 1];
    int pos = position_before(t, r, record, object_id);
    return pos > 0 ? ids_of(t)[pos - 1] : 0;
}
