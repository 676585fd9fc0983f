// Drawing the zone sets of a window's layers: plain layers object by object, layers with a
// tile tree through its walk; the raster layer into the frame buffer on the background.
#pragma once

struct View;
struct WindowObject;

// Draws the zone sets of the window's layers numbered first to last; true when interrupted.
bool draw_layers(WindowObject* window, View* view, int first, int last);
