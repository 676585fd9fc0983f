// The logical palette for 256-colour displays: a 6 x 6 x 6 colour cube and 20 greys.
#pragma once
#include "platform/window.h"

constexpr int k_palette_entries = 256;
constexpr int k_palette_used = 236;

// Fills the 256 entries (the last 20 stay black).
void palette_build_entries(PalEntry* entries);
// Builds the palette and stores it in the window object; status 10 for an unknown window.
void create_palette(int window_id);
