// Upper bound on the pixel memory one decoded image may ask for. Files that declare more
// are refused as out of memory before anything is allocated, so a forged header cannot make
// a decoder fill gigabytes. Fuzz harnesses lower it.
#pragma once
#include <cstdint>

extern int64_t g_max_image_bytes;

// True when width x height with the given planes (rows padded to 4 bytes) stays under the
// bound; sizes of zero or below are never acceptable.
bool image_size_acceptable(int64_t width, int64_t height, int planes);
// The same for images whose rows are decoded on demand and may be dropped: they hold only the
// rows in view, so they may declare sixteen times more.
bool on_demand_size_acceptable(int64_t width, int64_t height, int planes);
