// Records of the display's registry classes: window object (31), view (32), layer (34).
// The extent (33) is in geo/extent.h, the tile tree (36) and draw order (37) in geo/tile_tree.h.
#pragma once
#include "geo/extent.h"
#include "platform/window.h"
#include <cstdint>

struct WindowObject {
    int32_t id;
    PlatformWindow handle;
    uint8_t background[3]; // red, green, blue
    int32_t client_width, client_height;
    int32_t layer_list_id; // layers, the view and the layers' zone sets
    int32_t background_zones_id;
    int32_t raster_zones_id;
    int32_t overlay_zones_id;
    double clip_x0, clip_y0, clip_x1, clip_y1;
    PlatformPalette palette;
    uint8_t drawing; // 1 between begin_drawing and end_drawing
    uint8_t restart; // 1: the next zone is prepared afresh; 0 after an interrupted drawing
};

// window = (world + origin) * scale, for x and y alike.
struct View {
    int32_t id;
    double origin_x, origin_y;
    double scale_x, scale_y;
    int32_t window_id;
    int32_t extent_id;
    double spare_1, spare_2; // 1.0 from creation; not used by the display
};

struct Layer {
    int32_t id;
    int32_t extent_id;
    int32_t number; // 0: the raster layer, drawn through the frame buffer
    int32_t object_list_id;
    int32_t spatial_index_id;
    int32_t tile_tree_id; // 0 for a plain layer
};

inline uint32_t window_background(const WindowObject* w) {
    return uint32_t(w->background[0]) << 16 | uint32_t(w->background[1]) << 8 | w->background[2];
}
