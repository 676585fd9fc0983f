#include "geo/georef_objects.h"

#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "geo/transform.h"
#include "image/image.h"

#include <cstring>

namespace {

void chain_delete(int, void* record) {
    auto* chain = static_cast<TransformChain*>(record);
    mem_free(chain->spare);
    mem_free(chain->types);
    mem_free(chain->ids);
}

} // namespace

void geo_declare_classes() {
    obj_set_class_size(CLS_REFERENCE_POINTS, sizeof(ReferencePoints));
    obj_set_class_size(CLS_SCALE_TRANSFORM, sizeof(ScaleTransform));
    obj_set_class_size(CLS_MATRIX_TRANSFORM, sizeof(MatrixTransform));
    obj_set_class_size(CLS_TRANSFORM_CHAIN, sizeof(TransformChain));
    obj_set_delete_hook(CLS_TRANSFORM_CHAIN, chain_delete);
    obj_set_class_size(CLS_GEOREF_LINK, sizeof(GeorefLink));
}

int reference_points_create(double source_x, double source_y, double source_z, double target_x,
                            double target_y, double target_z) {
    int id = 0;
    auto* refs = static_cast<ReferencePoints*>(obj_create(CLS_REFERENCE_POINTS, &id));
    if (!refs) return 0;
    refs->source_x = source_x;
    refs->source_y = source_y;
    refs->source_z = source_z;
    refs->target_x = target_x;
    refs->target_y = target_y;
    refs->target_z = target_z;
    return id;
}

int scale_transform_create(double scale_x, double scale_y, double scale_z,
                           int reference_points_id) {
    int id = 0;
    auto* scale = static_cast<ScaleTransform*>(obj_create(CLS_SCALE_TRANSFORM, &id));
    if (!scale) return 0;
    scale->scale_x = scale_x;
    scale->scale_y = scale_y;
    scale->scale_z = scale_z;
    scale->reference_points_id = reference_points_id;
    return id;
}

int matrix_transform_create(const double* forward, const double* inverse) {
    int id = 0;
    auto* matrix = static_cast<MatrixTransform*>(obj_create(CLS_MATRIX_TRANSFORM, &id));
    if (!matrix) return 0;
    std::memcpy(matrix->forward, forward, sizeof matrix->forward);
    std::memcpy(matrix->inverse, inverse, sizeof matrix->inverse);
    return id;
}

int transform_chain_create(int count, const int32_t* types, const int32_t* ids) {
    if (count < 1) {
        g_status = ST_BAD_ARGS;
        return 0;
    }
    int id = 0;
    auto* chain = static_cast<TransformChain*>(obj_create(CLS_TRANSFORM_CHAIN, &id));
    if (!chain) return 0;
    size_t bytes = sizeof(int32_t) * static_cast<size_t>(count);
    if (!mem_alloc(chain->spare, bytes) || !mem_alloc(chain->types, bytes) ||
        !mem_alloc(chain->ids, bytes)) {
        obj_delete(CLS_TRANSFORM_CHAIN, id);
        return 0;
    }
    std::memset(chain->spare, 0, bytes);
    std::memcpy(chain->types, types, bytes);
    std::memcpy(chain->ids, ids, bytes);
    chain->count = count;
    return id;
}

void georef_attach(Image* image, int transform_type, int transform_id) {
    int id = 0;
    auto* link = static_cast<GeorefLink*>(obj_create(CLS_GEOREF_LINK, &id));
    if (!link) return;
    link->transform_type = transform_type;
    link->transform_id = transform_id;
    if (image->georef_link_id) obj_delete(CLS_GEOREF_LINK, image->georef_link_id);
    image->georef_link_id = id;
}
