// Zone sets: world rectangles waiting to be drawn, kept as 32-byte items of a class 35 table
// whose owner field names the window or layer they belong to. Every operation takes the
// set's id; an unknown id sets status 10.
#pragma once
#include "geo/rect.h"

// Creates an empty zone set owned by the given window or layer id; returns its id.
int zone_set_create(int owner_id);
// Adds the zone, merging it into the first stored zone it touches when that is exact (same
// x span or same y span) or free (containment). A zone without area is not stored: it has
// nothing to draw and no subtraction could ever remove it.
void zone_add(int set, const Rect& zone);
// Cuts the zone out of every stored zone it overlaps with an area; the pieces go to the end.
void zone_subtract(int set, const Rect& zone);
// Cuts every zone to the given one, dropping those left without area.
void zone_clip(int set, const Rect& zone);
// First zone; false when the set is empty or missing.
bool zone_first(int set, Rect* out);
int zone_count(int set);
void zone_clear(int set);
// Removes the zone at a position (used for zones that cannot be subtracted).
void zone_remove_at(int set, int index);
// The zone at a position; false outside the set.
bool zone_at(int set, int index, Rect* out);
