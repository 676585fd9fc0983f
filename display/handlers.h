// The per-class tables the display looks handlers up in, and the declaration of the
// display's classes.
#pragma once
#include "core/registry.h"
#include "geo/rect.h"

struct View;
struct WindowObject;

// Draws one object of a layer clipped to a world zone.
using DrawHandler = void (*)(void* record, View* view, WindowObject* window, const Rect& zone);
// Adds the object's world bounds to a spatial index under the given group.
using ExtentHandler = void (*)(void* record, int spatial_index, int group_id);

extern DrawHandler g_draw_handlers[CLS_COUNT];
extern ExtentHandler g_extent_handlers[CLS_COUNT];

// Declares classes 31, 32, 33, 34, 36 and 37, clears both handler tables and installs the
// image's draw and extent handlers.
void display_declare_classes();
