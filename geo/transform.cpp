#include "geo/transform.h"

#include "core/registry.h"
#include "core/status.h"

namespace {

using PointOp = void (*)(int id, double* x, double* y, double* z);

// A chain may name another chain; this bounds the nesting so a chain that names
// itself ends with status 12 instead of recursing forever.
constexpr int k_max_chain_depth = 16;
int s_chain_depth = 0;

void leave_unchanged(int, double*, double*, double*) {}

const ReferencePoints* scale_references(const ScaleTransform* scale) {
    auto* refs = obj_find_as<ReferencePoints>(CLS_REFERENCE_POINTS, scale->reference_points_id);
    if (!refs) g_status = ST_NOT_FOUND;
    return refs;
}

void scale_forward(int id, double* x, double* y, double*) {
    auto* scale = obj_find_as<ScaleTransform>(CLS_SCALE_TRANSFORM, id);
    if (!scale) {
        g_status = ST_NOT_FOUND;
        return;
    }
    const ReferencePoints* refs = scale_references(scale);
    if (!refs) return;
    *x = (*x - refs->source_x) * scale->scale_x + refs->target_x;
    *y = (*y - refs->source_y) * scale->scale_y + refs->target_y;
}

void scale_inverse(int id, double* x, double* y, double*) {
    auto* scale = obj_find_as<ScaleTransform>(CLS_SCALE_TRANSFORM, id);
    if (!scale) {
        g_status = ST_NOT_FOUND;
        return;
    }
    const ReferencePoints* refs = scale_references(scale);
    if (!refs) return;
    // A zero scale has no inverse; the point stays where it is.
    if (scale->scale_x == 0.0 || scale->scale_y == 0.0) {
        g_status = ST_VALUE;
        return;
    }
    *x = (*x - refs->target_x) / scale->scale_x + refs->source_x;
    *y = (*y - refs->target_y) / scale->scale_y + refs->source_y;
}

// First three rows of a 4 x 4 matrix applied to (x, y, z, 1).
void apply_matrix(const double* m, double* x, double* y, double* z) {
    double px = *x, py = *y, pz = *z;
    *x = m[0] * px + m[1] * py + m[2] * pz + m[3];
    *y = m[4] * px + m[5] * py + m[6] * pz + m[7];
    *z = m[8] * px + m[9] * py + m[10] * pz + m[11];
}

void matrix_forward(int id, double* x, double* y, double* z) {
    auto* matrix = obj_find_as<MatrixTransform>(CLS_MATRIX_TRANSFORM, id);
    if (!matrix) {
        g_status = ST_NOT_FOUND;
        return;
    }
    apply_matrix(matrix->forward, x, y, z);
}

void matrix_inverse(int id, double* x, double* y, double* z) {
    auto* matrix = obj_find_as<MatrixTransform>(CLS_MATRIX_TRANSFORM, id);
    if (!matrix) {
        g_status = ST_NOT_FOUND;
        return;
    }
    apply_matrix(matrix->inverse, x, y, z);
}

void chain_forward(int id, double* x, double* y, double* z);
void chain_inverse(int id, double* x, double* y, double* z);

const PointOp k_forward[TRANSFORM_TYPE_COUNT] = {leave_unchanged, scale_forward, matrix_forward,
                                                 leave_unchanged, chain_forward};
const PointOp k_inverse[TRANSFORM_TYPE_COUNT] = {leave_unchanged, scale_inverse, matrix_inverse,
                                                 leave_unchanged, chain_inverse};

// Runs one transform on a copy of the point and writes it back only on success,
// so a failing step leaves the caller's point unchanged.
void run(const PointOp* table, int id, int type, double* x, double* y, double* z) {
    if (id == 0) return;
    if (type < 0 || type >= TRANSFORM_TYPE_COUNT) {
        g_status = ST_VALUE;
        return;
    }
    double px = *x, py = *y, pz = *z;
    int before = g_status;
    g_status = 0;
    table[type](id, &px, &py, &pz);
    if (g_status) return;
    g_status = before;
    *x = px;
    *y = py;
    *z = pz;
}

const TransformChain* enter_chain(int id) {
    auto* chain = obj_find_as<TransformChain>(CLS_TRANSFORM_CHAIN, id);
    if (!chain) {
        g_status = ST_NOT_FOUND;
        return nullptr;
    }
    if (s_chain_depth >= k_max_chain_depth) {
        g_status = ST_VALUE;
        return nullptr;
    }
    ++s_chain_depth;
    return chain;
}

void chain_forward(int id, double* x, double* y, double* z) {
    const TransformChain* chain = enter_chain(id);
    if (!chain) return;
    int count = chain->count;
    const int32_t* types = chain->types;
    const int32_t* ids = chain->ids;
    for (int i = 0; i < count && !g_status; ++i) run(k_forward, ids[i], types[i], x, y, z);
    --s_chain_depth;
}

void chain_inverse(int id, double* x, double* y, double* z) {
    const TransformChain* chain = enter_chain(id);
    if (!chain) return;
    const int32_t* types = chain->types;
    const int32_t* ids = chain->ids;
    for (int i = chain->count - 1; i >= 0 && !g_status; --i)
        run(k_inverse, ids[i], types[i], x, y, z);
    --s_chain_depth;
}

} // namespace

void transform_forward(int transform_id, int type, double* x, double* y, double* z) {
    run(k_forward, transform_id, type, x, y, z);
}

void transform_inverse(int transform_id, int type, double* x, double* y, double* z) {
    run(k_inverse, transform_id, type, x, y, z);
}
