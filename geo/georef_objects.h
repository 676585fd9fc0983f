// Creating georeferencing objects and attaching them to images. Start-up never runs the
// set-up, so these exist only where a caller (a tool or a test) builds them.
#pragma once
#include <cstdint>

struct Image;

// Declares classes 40, 41, 42, 44 and 45 with their record sizes and deletion hooks.
void geo_declare_classes();

int reference_points_create(double source_x, double source_y, double source_z, double target_x,
                            double target_y, double target_z);
int scale_transform_create(double scale_x, double scale_y, double scale_z, int reference_points_id);
// Both matrices row by row, 16 values each.
int matrix_transform_create(const double* forward, const double* inverse);
// count entries of (type, id); status 15 for a count below 1.
int transform_chain_create(int count, const int32_t* types, const int32_t* ids);
// Creates a link to the transform and records it in the image (replacing any earlier link).
void georef_attach(Image* image, int transform_type, int transform_id);
