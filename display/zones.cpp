#include "display/zones.h"

#include "core/registry.h"
#include "core/status.h"

#include <cstring>

namespace {

constexpr int k_zone_bytes = int(sizeof(Rect));
static_assert(sizeof(Rect) == 32, "a zone is four doubles");

Table* find_set(int set) {
    auto* table = obj_find_as<Table>(CLS_TABLE, set);
    if (!table) g_status = ST_NOT_FOUND;
    return table;
}

int count_of(const Table* t) {
    return t->used_bytes / k_zone_bytes;
}
Rect* zones_of(Table* t) {
    return static_cast<Rect*>(t->items);
}

bool append(Table* t, const Rect& zone) {
    int n = count_of(t);
    if (!table_set_used(t, (n + 1) * k_zone_bytes)) return false;
    zones_of(t)[n] = zone;
    return true;
}

void remove_at(Table* t, int index) {
    int n = count_of(t);
    Rect* z = zones_of(t);
    std::memmove(z + index, z + index + 1, size_t(n - index - 1) * sizeof(Rect));
    table_set_used(t, (n - 1) * k_zone_bytes);
}

} // namespace

int zone_set_create(int owner_id) {
    int id = 0;
    auto* table = static_cast<Table*>(obj_create(CLS_TABLE, &id));
    if (!table) return 0;
    table->owner = owner_id;
    return id;
}

void zone_add(int set, const Rect& zone) {
    Table* t = find_set(set);
    if (!t || !rect_has_area(zone)) return;
    int n = count_of(t);
    for (int i = 0; i < n; ++i) {
        Rect& s = zones_of(t)[i];
        if (!rect_touches(s, zone)) continue;
        bool same_x = s.x0 == zone.x0 && s.x1 == zone.x1;
        bool same_y = s.y0 == zone.y0 && s.y1 == zone.y1;
        if (same_x || same_y) {
            s = Rect{rect_min(s.x0, zone.x0), rect_min(s.y0, zone.y0), rect_max(s.x1, zone.x1),
                     rect_max(s.y1, zone.y1)};
            return;
        }
        if (rect_contains(s, zone)) return;
        if (rect_contains(zone, s)) {
            s = zone;
            return;
        }
    }
    append(t, zone);
}

void zone_subtract(int set, const Rect& cut) {
    Table* t = find_set(set);
    if (!t) return;
    int remaining = count_of(t);
    int i = 0;
    while (remaining-- > 0) {
        Rect s = zones_of(t)[i];
        if (!rect_overlaps_area(s, cut)) {
            ++i;
            continue;
        }
        remove_at(t, i);
        double mid_y0 = rect_max(s.y0, cut.y0), mid_y1 = rect_min(s.y1, cut.y1);
        Rect pieces[4] = {
            {s.x0, s.y0, s.x1, cut.y0},     // above, full width
            {s.x0, cut.y1, s.x1, s.y1},     // below, full width
            {s.x0, mid_y0, cut.x0, mid_y1}, // left of the cut
            {cut.x1, mid_y0, s.x1, mid_y1}, // right of the cut
        };
        for (const Rect& piece : pieces)
            if (rect_has_area(piece) && !append(t, piece)) return;
    }
}

void zone_clip(int set, const Rect& clip) {
    Table* t = find_set(set);
    if (!t) return;
    for (int i = 0; i < count_of(t);) {
        Rect cut = rect_intersection(zones_of(t)[i], clip);
        if (rect_has_area(cut)) {
            zones_of(t)[i++] = cut;
        } else {
            remove_at(t, i);
        }
    }
}

bool zone_first(int set, Rect* out) {
    return zone_at(set, 0, out);
}

bool zone_at(int set, int index, Rect* out) {
    Table* t = find_set(set);
    if (!t || index < 0 || index >= count_of(t)) return false;
    *out = zones_of(t)[index];
    return true;
}

int zone_count(int set) {
    Table* t = find_set(set);
    return t ? count_of(t) : 0;
}

void zone_clear(int set) {
    Table* t = find_set(set);
    if (t) table_set_used(t, 0);
}

void zone_remove_at(int set, int index) {
    Table* t = find_set(set);
    if (t && index >= 0 && index < count_of(t)) remove_at(t, index);
}
