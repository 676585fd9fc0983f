// Recording what must be drawn: world rectangles go into the window's background, raster and
// overlay zone sets.
#pragma once
#include "geo/rect.h"
#include "platform/window.h"

struct View;
struct WindowObject;

void invalidate_world_rect(WindowObject* window, View* view, const Rect& world);
// Drops everything pending, the layers' zone sets included; the next zone starts afresh.
void reset_pending(WindowObject* window);
// Records each rectangle of a platform region given in window pixels. A rectangle covering
// the whole client area first drops everything else pending.
void add_region(WindowObject* window, View* view, PlatformRegion region);
// Drops everything pending, invalidates the whole client area and posts the redraw timer.
void full_redraw(int window_id, int view_id);
