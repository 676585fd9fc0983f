#include "display/coords.h"

#include "display/records.h"
#include "geo/image_rect.h"

#include <cmath>

double round_up_tolerant(double v) {
    double shifted = v + 1e-9;
    double whole = std::trunc(shifted);
    if (shifted - whole > 2e-9) whole += 1.0;
    return whole;
}

namespace {
double clamp(double v, double high) {
    if (!(v > 0.0)) return 0.0; // also catches NaN
    return v > high ? high : v;
}
} // namespace

Rect window_rect_of_world(const View* view, const WindowObject* window, const Rect& world) {
    Rect r = rect_from_corners(
        (world.x0 + view->origin_x) * view->scale_x, (world.y0 + view->origin_y) * view->scale_y,
        (world.x1 + view->origin_x) * view->scale_x, (world.y1 + view->origin_y) * view->scale_y);
    double w = window->client_width, h = window->client_height;
    return Rect{clamp(round_up_tolerant(r.x0), w), clamp(round_up_tolerant(r.y0), h),
                clamp(round_up_tolerant(r.x1), w), clamp(round_up_tolerant(r.y1), h)};
}

Rect world_rect_of_window(const View* view, const Rect& window_rect) {
    return rect_from_corners(window_rect.x0 / view->scale_x - view->origin_x,
                             window_rect.y0 / view->scale_y - view->origin_y,
                             window_rect.x1 / view->scale_x - view->origin_x,
                             window_rect.y1 / view->scale_y - view->origin_y);
}

Rect world_rect_snapped(const View* view, const WindowObject* window, const Rect& world) {
    return world_rect_of_window(view, window_rect_of_world(view, window, world));
}

Rect window_to_image_rect(const View* view, const WindowObject*, const Image* image,
                          const Rect& window_rect) {
    return world_to_image_rect(image, world_rect_of_window(view, window_rect));
}

Rect image_to_window_rect(const View* view, const WindowObject* window, const Image* image,
                          const Rect& pixels) {
    return window_rect_of_world(view, window, image_to_world_rect(image, pixels));
}
