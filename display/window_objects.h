// Creating the display's objects: window objects with their zone sets, extents, views, and
// the document window's layer list with its view and raster layer.
#pragma once
#include "platform/window.h"
#include <cstdint>

// A window object with its three zone sets and the window's client size; returns its id.
int window_object_create(PlatformWindow handle, uint8_t red, uint8_t green, uint8_t blue);
// Re-reads the client size from the platform.
void window_object_update_size(int window_id);
int world_extent_create(double x0, double y0, double x1, double y1);
// A view of the window onto the extent, both scales 1.0; added to the window's layer list.
int view_create(int window_id, int extent_id);
// The document view set-up of start-up: the window's layer list, its view, and the raster
// layer over the given object list and spatial index. Ids of the view and layer come back.
void document_view_setup(int window_id, int extent_id, int object_list_id, int spatial_index_id,
                         int* view_id, int* layer_id);
// The view whose window is the given one, or nullptr.
struct View* view_of_window(int window_id);
// Gives the layer a tile tree over its extent holding the layer's images.
void layer_attach_tile_tree(int layer_id);
