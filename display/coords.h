// Conversions between world and window coordinates through a view, and the snapping of a
// world rectangle to whole window pixels.
#pragma once
#include "geo/rect.h"

struct View;
struct WindowObject;
struct Image;

// Rounds up with a tolerance: values within 2e-9 above an integer count as that integer.
double round_up_tolerant(double v);
// Window rectangle of a world rectangle: corners transformed, ordered, rounded up and
// clamped to the client area.
Rect window_rect_of_world(const View* view, const WindowObject* window, const Rect& world);
// World rectangle of a window rectangle, ordered.
Rect world_rect_of_window(const View* view, const Rect& window_rect);
// The world rectangle snapped to whole window pixels (empty when it covers none).
Rect world_rect_snapped(const View* view, const WindowObject* window, const Rect& world);

Rect window_to_image_rect(const View* view, const WindowObject* window, const Image* image,
                          const Rect& window_rect);
Rect image_to_window_rect(const View* view, const WindowObject* window, const Image* image,
                          const Rect& pixels);
