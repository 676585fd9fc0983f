// Image buffer: header, palette, full and reduced row stores, and the row accessors.
#include "image/image.h"
#include "core/lists.h"
#include "core/mem.h"
#include "core/status.h"
#include "core/store.h"
#include "image/file_entry.h"

#include <cstring>

namespace {

// Rotation makes its rows a band at a time, each band from one read of every source row.
constexpr long long k_rotation_band_bytes = 8 << 20;

long long round_up4(long long v) {
    return (v + 3) / 4 * 4;
}

Image* find_image(int id) {
    Image* image = obj_find_as<Image>(CLS_IMAGE, id);
    if (!image) g_status = ST_NOT_FOUND;
    return image;
}

// The header fields an operation copies from a source image into a new one.
void copy_header(Image* to, const Image* from) {
    to->file_entry_id = from->file_entry_id;
    to->format_id = from->format_id;
    to->format_name_index = from->format_name_index;
    to->width = from->width;
    to->height = from->height;
    to->stride = from->stride;
    to->reduced_stride = from->reduced_stride;
    to->planes = from->planes;
    to->x_resolution = from->x_resolution;
    to->y_resolution = from->y_resolution;
    to->gamma = from->gamma;
    std::memcpy(to->palette, from->palette, sizeof to->palette);
    to->bit_count = from->bit_count;
    to->bits_per_sample = from->bits_per_sample;
    to->samples_per_pixel = from->samples_per_pixel;
    if (from->path) mem_strdup(to->path, from->path);
}

void build_reduced_row(Image* image, int r) {
    int reduced_width = image->width / REDUCTION;
    for (int p = image->planes - 1; p >= 0; p--) {
        const uint8_t* full = image_row_read(image, REDUCTION * r, p);
        if (!full) return;
        uint8_t* row = store_row(image->reduced_store, r, false);
        if (!row) return;
        uint8_t* out = row + static_cast<size_t>(p) * image->reduced_stride;
        for (int i = 0; i < reduced_width; i++) out[i] = full[REDUCTION * i];
    }
}

} // namespace

void image_alloc(Image* image, int width, int height, int planes, int mode) {
    long long stride = round_up4(width);
    long long reduced_stride = round_up4(width / REDUCTION + 1 > 1 ? width / REDUCTION + 1 : 1);
    long long row_size = stride * static_cast<long long>(planes);
    long long reduced_row_size = reduced_stride * planes;
    image->width = width;
    image->height = height;
    image->planes = planes;
    if (width < 1 || height < 1 || planes < 1 || row_size > 0x7fffffff) {
        // No store can hold such rows: too large is out of memory, empty is a bad value.
        g_status = (width < 1 || height < 1 || planes < 1) ? ST_VALUE : ST_NO_MEMORY;
        return;
    }
    image->stride = static_cast<int>(stride);
    image->reduced_stride = static_cast<int>(reduced_stride);
    int reduced_rows = height / REDUCTION > 1 ? height / REDUCTION : 1;
    image->full_store =
        store_create(&image->full_store_id, image->id, height, static_cast<int>(row_size), mode);
    if (g_status) return;
    image->reduced_store = store_create(&image->reduced_store_id, image->id, reduced_rows,
                                        static_cast<int>(reduced_row_size), STORE_PLAIN);
}

uint8_t* image_row_write(Image* image, int y, int plane) {
    if (!image->full_store || y < 0 || y >= image->height || plane < 0 || plane >= image->planes) {
        g_status = ST_NO_MEMORY;
        return nullptr;
    }
    uint8_t* row = store_row(image->full_store, y, false);
    return row ? row + static_cast<size_t>(plane) * image->stride : nullptr;
}

bool image_row_overwrite(Image* image, int y, uint8_t** planes) {
    if (!image->full_store || y < 0 || y >= image->height) {
        g_status = ST_NO_MEMORY;
        return false;
    }
    uint8_t* row = store_row_overwrite(image->full_store, y);
    if (!row) return false;
    for (int k = 0; k < image->planes; k++) {
        planes[k] = row + static_cast<size_t>(k) * image->stride;
        std::memset(planes[k] + image->width, 0, static_cast<size_t>(image->stride - image->width));
    }
    return true;
}

uint8_t* image_row_read(Image* image, int y, int plane) {
    Table* store = image->full_store;
    if (!store || y < 0 || y >= image->height || plane < 0 || plane >= image->planes) {
        g_status = ST_NO_MEMORY;
        return nullptr;
    }
    if (!store_row_in_memory(store, y) && store->states[y] == ROW_NOT_DECODED) {
        int list = 0;
        // The rows decoded with this one may outgrow the budget: this one stays.
        store_hold_row(store, y);
        load_image(0, &list, image->id, y);
        store_hold_row(nullptr, 0);
        // The store may have been replaced while decoding: look it up again below.
    }
    g_status = 0;
    uint8_t* row = store_row(image->full_store, y, true);
    return row ? row + static_cast<size_t>(plane) * image->stride : nullptr;
}

uint8_t* image_row_view(Image* image, double y, bool reduced) {
    int row = static_cast<int>(y);
    if (!reduced) return image_row_read(image, row, 0);
    Table* store = image->reduced_store;
    if (!store || row < 0 || row >= store->rows) {
        g_status = ST_NO_MEMORY;
        return nullptr;
    }
    if (!store_row_in_memory(store, row) && store->states[row] != ROW_ON_DISK)
        build_reduced_row(image, row);
    return store_row(image->reduced_store, row, true);
}

const uint8_t* image_row_peek(const Image* image, int row, bool reduced) {
    const Table* store = reduced ? image->reduced_store : image->full_store;
    if (!store || row < 0 || row >= store->rows || !store_row_in_memory(store, row)) return nullptr;
    return static_cast<uint8_t* const*>(store->items)[row];
}

void image_clone(int source_id, int* out_id) {
    *out_id = 0;
    Image* source = find_image(source_id);
    if (!source) return;
    Image* image = static_cast<Image*>(obj_create(CLS_IMAGE, out_id));
    if (!image) return;
    source = find_image(source_id);
    copy_header(image, source);
    if (g_status) return;
    if (source->full_store) {
        image->full_store = store_copy(source->full_store, &image->full_store_id);
        if (image->full_store) image->full_store->owner = image->id;
    }
    if (g_status) return;
    if (source->reduced_store) {
        image->reduced_store = store_copy(source->reduced_store, &image->reduced_store_id);
        if (image->reduced_store) image->reduced_store->owner = image->id;
    }
}

void image_rotate(int source_id, int direction, int* out_id) {
    *out_id = 0;
    Image* source = find_image(source_id);
    if (!source) return;
    Image* image = static_cast<Image*>(obj_create(CLS_IMAGE, out_id));
    if (!image) return;
    source = find_image(source_id);
    copy_header(image, source);
    if (g_status) return;
    int old_w = source->width, old_h = source->height, planes = source->planes;
    image_alloc(image, old_h, old_w, planes, STORE_PLAIN);
    if (g_status) {
        g_status = ST_NO_MEMORY;
        return;
    }
    const int new_w = image->width, new_h = image->height;
    const size_t row_bytes = static_cast<size_t>(planes) * new_w;
    long long band_rows = k_rotation_band_bytes / static_cast<long long>(row_bytes);
    if (band_rows < 1) band_rows = 1;
    if (band_rows > new_h) band_rows = new_h;
    uint8_t* band = nullptr;
    if (!mem_alloc(band, static_cast<size_t>(band_rows) * row_bytes)) return;
    // New row y is source column old_w - 1 - y (counter-clockwise) or y (clockwise); new column
    // x is source row x, or old_h - 1 - x.
    bool ccw = direction == 1;
    for (int y0 = 0; y0 < new_h && !g_status; y0 += static_cast<int>(band_rows)) {
        int n = new_h - y0 < band_rows ? new_h - y0 : static_cast<int>(band_rows);
        for (int sy = 0; sy < old_h && !g_status; sy++) {
            int x = ccw ? sy : old_h - 1 - sy;
            for (int p = 0; p < planes; p++) {
                const uint8_t* src = image_row_read(source, sy, p);
                if (!src) break;
                uint8_t* to = band + static_cast<size_t>(p) * new_w + x;
                for (int k = 0; k < n; k++, to += row_bytes)
                    *to = src[ccw ? old_w - 1 - (y0 + k) : y0 + k];
            }
        }
        for (int k = 0; k < n && !g_status; k++)
            for (int p = 0; p < planes; p++) {
                uint8_t* out = image_row_write(image, y0 + k, p);
                if (!out) break;
                std::memcpy(out, band + k * row_bytes + static_cast<size_t>(p) * new_w,
                            static_cast<size_t>(new_w));
            }
    }
    mem_free(band);
}

void image_composite(Image* previous, Image* current, Image* target) {
    if (previous->width < target->width || previous->height < target->height ||
        current->width < target->width || current->height < target->height || target->height < 1)
        return;
    uint8_t transparent = current->transparent[0];
    for (int y = 0; y < target->height; y++) {
        const uint8_t* cur = image_row_read(current, y, 0);
        if (!cur) return;
        // Copy the current row: the previous page's read may evict it.
        uint8_t* mask = scratch_buffer(target->width);
        if (!mask) return;
        std::memcpy(mask, cur, static_cast<size_t>(target->width));
        const uint8_t* prev = image_row_read(previous, y, 0);
        if (!prev) return;
        uint8_t* out = image_row_write(target, y, 0);
        if (!out) return;
        for (int x = 0; x < target->width; x++)
            if (mask[x] == transparent) out[x] = prev[x];
    }
}

void palette_identity(Image* image) {
    for (int i = 0; i < 256; i++)
        image->palette[0][i] = image->palette[1][i] = image->palette[2][i] =
            static_cast<uint8_t>(i);
}

void palette_grey(Image* image, int bits) {
    if (bits > 8) {
        g_status = ST_VALUE;
        return;
    }
    int top = (1 << bits) - 1;
    if (top < 1) return;
    for (int i = 0; i <= top; i++) {
        uint8_t v = static_cast<uint8_t>(i * (255 / top));
        image->palette[0][i] = image->palette[1][i] = image->palette[2][i] = v;
    }
}

bool palette_is_identity(const Image* image) {
    for (int i = 0; i < 256; i++)
        if (image->palette[0][i] != i || image->palette[1][i] != i || image->palette[2][i] != i)
            return false;
    return true;
}

bool palette_is_grey(const Image* image) {
    if (image->bit_count > 8 || image->planes != 1) return false;
    for (int i = 0; i < 256; i++)
        if (image->palette[0][i] != image->palette[1][i] ||
            image->palette[1][i] != image->palette[2][i])
            return false;
    return true;
}
