#include "geo/image_rect.h"

#include "core/lists.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "geo/transform.h"
#include "image/image.h"

namespace {

constexpr double k_edge_margin = 1e-8;

const GeorefLink* link_of(const Image* image) {
    if (!image->georef_link_id) return nullptr;
    auto* link = obj_find_as<GeorefLink>(CLS_GEOREF_LINK, image->georef_link_id);
    if (!link) g_status = ST_NOT_FOUND;
    return link;
}

double clamp(double v, double low, double high) {
    if (v < low) return low;
    if (v > high) return high;
    return v;
}

} // namespace

void image_point_to_world(const Image* image, double* x, double* y) {
    const GeorefLink* link = link_of(image);
    if (!link) return;
    double z = 0.0;
    transform_forward(link->transform_id, link->transform_type, x, y, &z);
}

void world_point_to_image(const Image* image, double* x, double* y) {
    const GeorefLink* link = link_of(image);
    if (!link) return;
    double z = 0.0;
    transform_inverse(link->transform_id, link->transform_type, x, y, &z);
}

Rect world_to_image_rect(const Image* image, const Rect& world) {
    double ax = world.x0, ay = world.y0, bx = world.x1, by = world.y1;
    world_point_to_image(image, &ax, &ay);
    world_point_to_image(image, &bx, &by);
    Rect r = rect_from_corners(ax, ay, bx, by);
    double max_x = image->width - k_edge_margin;
    double max_y = image->height - k_edge_margin;
    if (max_x < 0.0) max_x = 0.0;
    if (max_y < 0.0) max_y = 0.0;
    return Rect{clamp(r.x0, 0.0, max_x), clamp(r.y0, 0.0, max_y), clamp(r.x1, 0.0, max_x),
                clamp(r.y1, 0.0, max_y)};
}

Rect image_to_world_rect(const Image* image, const Rect& pixels) {
    double ax = pixels.x0, ay = pixels.y0, bx = pixels.x1, by = pixels.y1;
    image_point_to_world(image, &ax, &ay);
    image_point_to_world(image, &bx, &by);
    return rect_from_corners(ax, ay, bx, by);
}

void image_extent(void* image_record, int spatial_index, int group_id) {
    auto* image = static_cast<Image*>(image_record);
    Rect world =
        image_to_world_rect(image, Rect{0.0, 0.0, double(image->width), double(image->height)});
    Bounds* bounds = nullptr;
    if (!mem_alloc(bounds, sizeof(Bounds))) return;
    bounds->owner = image->id;
    bounds->second = 0;
    bounds->min_x = world.x0;
    bounds->min_y = world.y0;
    bounds->max_x = world.x1;
    bounds->max_y = world.y1;
    extent_add(spatial_index, group_id, image->id, bounds);
}
