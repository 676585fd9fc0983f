#include "display/draw_image.h"

#include "core/mem.h"
#include "display/coords.h"
#include "display/frame_buffer.h"
#include "display/row_samplers.h"
#include "display/records.h"
#include "geo/image_rect.h"
#include "image/ecw.h"
#include "image/image.h"

#include <algorithm>
#include <cstring>

namespace {

// The ECW reader decodes the source rectangle straight into the destination's pixels.
void draw_ecw_region(Image* image, const Rect& source, const Rect& destination) {
    int x = int(destination.x0), y = int(destination.y0);
    ecw_read_region(image,
                    EcwRegion{source.x0, source.y0, source.x1 - source.x0, source.y1 - source.y0},
                    int(destination.x1) - x, int(destination.y1) - y,
                    frame_row(y) + (x - g_frame.x), g_frame.stride);
}

} // namespace

void (*g_ecw_draw_hook)(Image*, const Rect&, const Rect&) = draw_ecw_region;

namespace {

// Source column of every destination pixel of the zone being drawn; grows only.
int32_t* s_columns = nullptr;
int s_columns_capacity = 0;

bool reserve_columns(int count) {
    if (count <= s_columns_capacity) return true;
    if (!mem_realloc(s_columns, sizeof(int32_t) * size_t(count))) {
        s_columns_capacity = 0;
        return false;
    }
    s_columns_capacity = count;
    return true;
}

// Colours of the consecutive source columns a magnified row spans; grows only.
uint32_t* s_values = nullptr;
int s_values_capacity = 0;

bool reserve_values(int count) {
    if (count <= s_values_capacity) return true;
    if (!mem_realloc(s_values, sizeof(uint32_t) * size_t(count))) {
        s_values_capacity = 0;
        return false;
    }
    s_values_capacity = count;
    return true;
}

// Truncates a source position to an index in 0 .. high, converting only values known to fit
// (a position from a degenerate view may be huge or not a number).
int index_of(double pos, int high) {
    if (!(pos >= 0.0)) return 0;
    if (pos >= double(high)) return high;
    return int(pos);
}

// Running position by truncation, as the rows are walked; the clamp only guards against the
// last few bits of rounding carrying a position past the image's edge.
// Returns true when the columns are consecutive (a plain copy at 1:1).
bool build_columns(double start, double step, int count, int last_column) {
    double pos = start;
    bool consecutive = true;
    for (int k = 0; k < count; ++k) {
        s_columns[k] = index_of(pos, last_column);
        if (k && s_columns[k] != s_columns[k - 1] + 1) consecutive = false;
        pos += step;
    }
    return consecutive;
}

// Runs of equal columns in s_columns (magnified rows); grows only.
int32_t* s_runs = nullptr; // run columns, then run lengths
int s_runs_capacity = 0;

// The column table and its runs as the last call made them: the bands of one zone share them.
struct ColumnsKey {
    double start, step;
    int count, last_column;
    bool valid, consecutive;
    int runs; // -1 until made
};
ColumnsKey s_columns_key = {};

bool columns_for(double start, double step, int count, int last_column) {
    ColumnsKey& k = s_columns_key;
    if (k.valid && k.start == start && k.step == step && k.count == count &&
        k.last_column == last_column)
        return true;
    k.valid = false;
    if (!reserve_columns(count)) return false;
    k = ColumnsKey{
        start, step, count, last_column, true, build_columns(start, step, count, last_column), -1};
    return true;
}

// The runs of the current column table; false when there is no room for them.
bool runs_ready() {
    ColumnsKey& k = s_columns_key;
    if (k.runs >= 0) return true;
    if (k.count > s_runs_capacity) {
        if (!mem_realloc(s_runs, sizeof(int32_t) * 2 * size_t(k.count))) {
            s_runs_capacity = 0;
            return false;
        }
        s_runs_capacity = k.count;
    }
    k.runs = column_runs(s_columns, k.count, s_runs, s_runs + k.count);
    return true;
}

// The running row position where the previous band of the same mapping stopped, so that a
// band continues the sums instead of adding the steps of every row above it again.
struct RowPosition {
    double start, step;
    int row;         // destination row index the position belongs to
    double position; // start plus row steps, summed one by one
};
RowPosition s_row_position = {0, 0, -1, 0};

double row_position(double start, double step, int row) {
    RowPosition& p = s_row_position;
    int from = 0;
    double pos = start;
    if (p.row >= 0 && p.row <= row && p.start == start && p.step == step) {
        from = p.row;
        pos = p.position;
    }
    for (int j = from; j < row; ++j) pos += step;
    return pos;
}

void remember_row_position(double start, double step, int row, double position) {
    s_row_position = RowPosition{start, step, row, position};
}

void palette_table(const Image* image, uint32_t* table) {
    for (int i = 0; i < 256; ++i)
        table[i] = uint32_t(image->palette[0][i]) << k_red_shift |
                   uint32_t(image->palette[1][i]) << k_green_shift |
                   uint32_t(image->palette[2][i]) << k_blue_shift;
}

} // namespace

bool uses_reduced_copy(const Image* image, double step_x, double step_y) {
    // Below ten pixels of width the reduced rows hold no pixel at all.
    return step_x >= REDUCTION && step_y >= REDUCTION && image->width >= REDUCTION;
}

bool image_is_opaque(const Image* image) {
    return (image->planes == 1 || image->planes >= 3) && image->format_id != k_format_ecw;
}

bool image_mapping(const Image* image, const View* view, const WindowObject* window,
                   const Rect& zone, ImageMapping* out) {
    if (image->width < 1 || image->height < 1 || g_frame.width < 1 || g_frame.height < 1)
        return false;
    Rect source = world_to_image_rect(image, zone);
    if (!rect_has_area(source)) return false;
    Rect frame{double(g_frame.x), double(g_frame.y), double(g_frame.x + g_frame.width),
               double(g_frame.y + g_frame.height)};
    Rect dest = rect_intersection(image_to_window_rect(view, window, image, source), frame);
    if (!rect_has_area(dest)) return false;

    // Back to source coordinates without clamping: a clamped right edge would shorten the
    // step and shift every magnified pixel boundary.
    Rect world = world_rect_of_window(view, dest);
    double ax = world.x0, ay = world.y0, bx = world.x1, by = world.y1;
    world_point_to_image(image, &ax, &ay);
    world_point_to_image(image, &bx, &by);
    Rect s = rect_from_corners(ax, ay, bx, by);

    out->dx = int(dest.x0);
    out->dy = int(dest.y0);
    out->dw = int(dest.x1) - out->dx;
    out->dh = int(dest.y1) - out->dy;
    out->source_x = s.x0;
    out->source_y = s.y0;
    out->step_x = (s.x1 - s.x0) / out->dw;
    out->step_y = (s.y1 - s.y0) / out->dh;
    return true;
}

void draw_image(void* image_record, View* view, WindowObject* window, const Rect& zone) {
    auto* image = static_cast<Image*>(image_record);
    if (image->planes != 1 && image->planes < 3) return;
    ImageMapping m;
    if (!image_mapping(image, view, window, zone, &m)) return;

    if (image->format_id == k_format_ecw) {
        // The reader is given the part of the destination inside the current band.
        int top = std::max(m.dy, g_frame.band_y);
        int bottom = std::min(m.dy + m.dh, g_frame.band_y + g_frame.band_rows);
        if (g_ecw_draw_hook && top < bottom)
            g_ecw_draw_hook(image,
                            Rect{m.source_x, m.source_y + m.step_y * (top - m.dy),
                                 m.source_x + m.step_x * m.dw,
                                 m.source_y + m.step_y * (bottom - m.dy)},
                            Rect{double(m.dx), double(top), double(m.dx + m.dw), double(bottom)});
        return;
    }

    bool reduced = uses_reduced_copy(image, m.step_x, m.step_y);
    double step_x = m.step_x, step_y = m.step_y, sx0 = m.source_x, sy0 = m.source_y;
    int plane_length = image->stride;
    int last_column = image->width - 1, last_row = image->height - 1;
    if (reduced) {
        step_x /= REDUCTION;
        step_y /= REDUCTION;
        sx0 /= REDUCTION;
        sy0 /= REDUCTION;
        plane_length = image->reduced_stride;
        last_column = image->width / REDUCTION - 1;
        last_row = (image->height / REDUCTION > 1 ? image->height / REDUCTION : 1) - 1;
    }

    // Only the rows of the current band are drawn.
    int j_begin = std::max(0, g_frame.band_y - m.dy);
    int j_end = std::min(m.dh, g_frame.band_y + g_frame.band_rows - m.dy);
    if (j_begin >= j_end) return;

    int dw = m.dw;
    if (!columns_for(sx0, step_x, dw, last_column)) return;
    bool consecutive = s_columns_key.consecutive;
    int first_column = s_columns[0], spanned = s_columns[dw - 1] - first_column + 1;
    bool magnified = !consecutive && spanned < dw && reserve_values(spanned) && runs_ready();
    uint32_t table[256];
    bool grey = false;
    if (image->planes == 1) {
        palette_table(image, table);
        grey = is_grey_table(table);
    }
    // Where the background fill was left out under this image, a missing row must still
    // show the background.
    bool fill_missing = g_frame.unfilled_image_id == image->id;

    size_t stride = size_t(g_frame.stride);
    uint32_t* out = frame_row(m.dy + j_begin) + (m.dx - g_frame.x);
    const uint32_t* previous_out = nullptr;
    int previous_row = -1;
    double row_pos = row_position(sy0, step_y, j_begin);
    for (int j = j_begin; j < j_end; ++j, out += stride, row_pos += step_y) {
        int r = index_of(row_pos, last_row);
        if (r == previous_row && previous_out) {
            // Rows magnified onto several window rows are sampled once.
            std::memcpy(out, previous_out, sizeof(uint32_t) * size_t(dw));
            previous_out = out;
            continue;
        }
        previous_row = r;
        previous_out = nullptr;
        const uint8_t* row = image_row_view(image, double(r), reduced);
        if (!row) {
            // Left as it is; later rows keep their places.
            if (fill_missing) std::fill_n(out, dw, g_frame.background);
            continue;
        }
        const uint8_t* next = image_row_peek(image, index_of(row_pos + step_y, last_row), reduced);
        int planes = image->planes == 1 ? 1 : 3;
        if (magnified || consecutive) {
            int count = magnified ? spanned : dw;
            prefetch_run(next ? next + first_column : nullptr, plane_length, planes, count);
            uint32_t* to = magnified ? s_values : out;
            if (grey)
                sample_grey_run(to, row + first_column, count);
            else if (planes == 1)
                sample_indexed_run(to, row + first_column, count, table);
            else
                sample_planar_run(to, row + first_column, plane_length, count);
            // A magnified row: the colours of the spanned columns once, then spread.
            if (magnified)
                spread_runs(out, dw, s_values - first_column, s_runs, s_runs + dw,
                            s_columns_key.runs);
        } else if (planes == 1) {
            sample_indexed_columns(out, row, s_columns, dw, table, next);
        } else {
            sample_planar_columns(out, row, plane_length, s_columns, dw, next);
        }
        previous_out = out;
    }
    remember_row_position(sy0, step_y, j_end, row_pos);
}
