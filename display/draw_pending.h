// Drawing the pending zones: background fills outside the extent, raster zones rendered
// through the frame buffer and copied to the window, then overlay layers.
#pragma once

struct View;
struct WindowObject;

void draw_pending(WindowObject* window, View* view);
// Draws when the window's overlay or background set holds zones; returns whether it did.
bool redraw_if_pending(int window_id);
