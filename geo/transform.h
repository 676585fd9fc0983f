// Georeference transforms: the objects an image's link can point to, and the forward
// (image to world) and inverse (world to image) transform of a point through them.
#pragma once
#include <cstdint>

enum TransformType {
    TRANSFORM_NONE = 0,
    TRANSFORM_SCALE = 1,
    TRANSFORM_MATRIX = 2,
    TRANSFORM_UNUSED = 3,
    TRANSFORM_CHAIN = 4,
    TRANSFORM_TYPE_COUNT = 5,
};

// Class 40.
struct ReferencePoints {
    int32_t id;
    double source_x, source_y, source_z;
    double target_x, target_y, target_z;
};

// Class 41.
struct ScaleTransform {
    int32_t id;
    double scale_x, scale_y, scale_z;
    int32_t reference_points_id;
};

// Class 42: both matrices row by row; a point is the column (x, y, z, 1).
struct MatrixTransform {
    int32_t id;
    double forward[16];
    double inverse[16];
};

// Class 44: count entries applied in order forward, in reverse order inverse.
struct TransformChain {
    int32_t id;
    int32_t count;
    int32_t* spare;
    int32_t* types;
    int32_t* ids;
};

// Class 45: attached to an image through its georef_link_id.
struct GeorefLink {
    int32_t id;
    int32_t transform_type;
    int32_t transform_id;
};

// Both do nothing for transform id 0. Unknown type: status 12; missing object: status 10;
// the point is left unchanged on failure.
void transform_forward(int transform_id, int type, double* x, double* y, double* z);
void transform_inverse(int transform_id, int type, double* x, double* y, double* z);
