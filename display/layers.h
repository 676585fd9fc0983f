// Layers of a window: the raster layer (number 0) and overlays, each with its objects, their
// spatial index and a zone set of its own in the window's layer list.
#pragma once

struct Layer;
struct WindowObject;

// Highest layer number in use in the process.
extern int g_highest_layer;

// Creates a layer in the window's layer list with a zone set of its own; returns its id.
int layer_create(int window_id, int number, int extent_id, int object_list_id,
                 int spatial_index_id);
// The window's layer with that number, or nullptr.
Layer* layer_find_by_number(const WindowObject* window, int number);
// Id of the layer's zone set in the window's layer list, 0 when none.
int layer_zone_set(const WindowObject* window, int layer_id);

// Adds the object to the layer (list, spatial index, tree) and invalidates its bounds in
// every view of the layer's extent. Status 10 for a missing layer or window object.
void layer_add_object(int cls, int object_id, int layer_id);
// Invalidates the object's bounds, then takes it out of the tree, the index and the list.
void layer_remove_object(int object_id, int layer_id);
