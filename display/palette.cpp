#include "display/palette.h"

#include "core/registry.h"
#include "core/status.h"
#include "display/records.h"

namespace {
const uint8_t k_cube_levels[6] = {0, 48, 96, 144, 208, 255};
const uint8_t k_grey_levels[20] = {16,  24,  32,  56,  64,  72,  80,  88,  112, 120,
                                   128, 152, 160, 176, 184, 192, 216, 224, 232, 240};
} // namespace

void palette_build_entries(PalEntry* entries) {
    for (int i = 0; i < k_palette_entries; ++i) entries[i] = PalEntry{0, 0, 0};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries[36 * r + 6 * g + b] =
                    PalEntry{k_cube_levels[r], k_cube_levels[g], k_cube_levels[b]};
    for (int i = 0; i < 20; ++i)
        entries[216 + i] = PalEntry{k_grey_levels[i], k_grey_levels[i], k_grey_levels[i]};
}

void create_palette(int window_id) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, window_id);
    if (!window) {
        g_status = ST_NOT_FOUND;
        return;
    }
    PalEntry entries[k_palette_entries];
    palette_build_entries(entries);
    window->palette = plat_create_palette(entries, k_palette_used);
}
