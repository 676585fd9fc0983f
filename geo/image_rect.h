// Rectangle conversions between an image's pixel coordinates and the world, through the
// image's georeference link when it has one, and the image extent handler.
#pragma once
#include "geo/rect.h"

struct Image;

// The image's pixel rectangle of a world rectangle, clamped to 0 .. width - 1e-8 and
// 0 .. height - 1e-8 so that the maximum never reaches the pixel outside the image.
Rect world_to_image_rect(const Image* image, const Rect& world);
// The world rectangle of an image rectangle; no clamping.
Rect image_to_world_rect(const Image* image, const Rect& pixels);
// World position of an image point (no clamping), and back.
void image_point_to_world(const Image* image, double* x, double* y);
void world_point_to_image(const Image* image, double* x, double* y);

// Extent handler of class 1: the world rectangle of the whole image, added under the image's
// id to a spatial index (status 1 when the bounds record cannot be allocated).
void image_extent(void* image_record, int spatial_index, int group_id);
