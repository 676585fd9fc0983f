#include "image/ecw.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/decode_limits.h"
#include "decoders/decoder_start.h"
#include "image/ecw_library.h"
#include "image/image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int k_name_index_ecw = 25;
// Keeps a position that lands on a pixel edge from counting the next pixel in.
constexpr double k_edge = 0.00000001;

// Closes the view and frees the band list and line pointers; the handle stays.
void drop_view(EcwCodec* codec) {
    // An open view means the library was loaded, and it stays loaded.
    if (codec->view) ecw_library(nullptr)->close_view(codec->view, 1);
    codec->view = nullptr;
    codec->info = nullptr;
    mem_free(codec->band_list);
    mem_free(codec->line_pointers);
    codec->band_count = 0;
}

void free_codec(Image* image) {
    auto* codec = static_cast<EcwCodec*>(image->codec);
    if (!codec) return;
    drop_view(codec);
    mem_free(image->codec);
}

void read_failed(EcwCodec* codec) {
    drop_view(codec);
    decoder_refuse(ST_LOAD, "ECW : lecture refusee par la bibliotheque");
}

// Whether the library's description is one this program can hold and, when the image already
// has rows, still the image's own. Otherwise logs why and sets the status.
bool description_acceptable(const Image* image, const EcwFileInfo* info) {
    if (!info) {
        decoder_refuse(ST_LOAD, "ECW : la bibliotheque ne decrit pas le fichier");
        return false;
    }
    if (info->width < 1 || info->height < 1 || info->bands < 1) {
        decoder_refuse(ST_LOAD, "ECW : image vide ou sans bande");
        return false;
    }
    if (info->bands > k_ecw_max_bands) {
        decoder_refuse(ST_LOAD, "ECW : trop de bandes");
        return false;
    }
    int64_t stride = (int64_t(info->width) + 3) & ~int64_t(3);
    // A row must fit the row store (rows are decoded on demand, so the whole picture need not).
    if (info->width > k_ecw_max_side || info->height > k_ecw_max_side ||
        stride * info->bands > 0x7FFFFFFF ||
        stride * info->bands * k_ecw_block_rows > g_max_image_bytes) {
        decoder_refuse(ST_NO_MEMORY, "ECW : image trop grande");
        return false;
    }
    if (image->full_store &&
        (int64_t(info->width) != image->width || int64_t(info->height) != image->height ||
         info->bands != image->planes)) {
        decoder_refuse(ST_LOAD, "ECW : le fichier a change depuis son chargement");
        return false;
    }
    return true;
}

// Makes the codec handle when the image has none and opens a view when none is open (again
// after a failure had closed it). Returns the image, looked up again since making its stores
// may move records, or nullptr after a failure.
Image* ecw_open(int image_id) {
    Image* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!image) {
        g_status = ST_NOT_FOUND;
        return nullptr;
    }
    auto* codec = static_cast<EcwCodec*>(image->codec);
    if (!codec) {
        if (!mem_alloc_zeroed(codec, sizeof *codec)) return nullptr;
        image->codec = codec;
    }
    if (codec->view) return image;

    const char* tried = nullptr;
    const EcwLibrary* library = ecw_library(&tried);
    if (!library) {
        char text[600];
        std::snprintf(text, sizeof text, "ECW : bibliotheque de decompression introuvable (%s)",
                      tried);
        decoder_refuse(ST_LOAD, text);
        return nullptr;
    }
    void* view = nullptr;
    if (!image->path || library->open_view(image->path, &view, nullptr) != 0 || !view) {
        decoder_refuse(ST_LOAD, "ECW : la bibliotheque n'ouvre pas le fichier");
        return nullptr;
    }
    codec->view = view;
    EcwFileInfo* info = nullptr;
    if (library->file_info(view, &info) != 0) info = nullptr;
    if (!description_acceptable(image, info)) {
        int status = g_status;
        free_codec(image);
        g_status = status;
        return nullptr;
    }

    codec->info = info;
    int bands = info->bands;
    int width = int(info->width), height = int(info->height);
    if (!mem_alloc(codec->band_list, sizeof(uint32_t) * size_t(bands)) ||
        !mem_alloc(codec->line_pointers, sizeof(uint8_t*) * size_t(bands))) {
        drop_view(codec);
        return nullptr;
    }
    codec->band_count = bands;
    for (int b = 0; b < bands; b++) codec->band_list[b] = uint32_t(b);

    if (!image->full_store) {
        image->format_name_index = k_name_index_ecw;
        image_alloc(image, width, height, bands, STORE_PLAIN);
        image = obj_find_as<Image>(CLS_IMAGE, image_id);
        if (g_status) {
            drop_view(codec);
            return nullptr;
        }
        image->bits_per_sample = 8;
        image->samples_per_pixel = bands;
        if (bands == 1) palette_identity(image);
    }
    return image;
}

// Truncates a position to an index in 0 .. high; positions from a degenerate view may be
// negative, huge or not a number.
int index_in(double pos, int high) {
    if (!(pos >= 0.0)) return 0;
    if (pos >= double(high)) return high;
    return int(pos);
}

// Image pixels that a source interval [start, start + length) touches, within 0 .. size - 1.
struct Span {
    int first, last;
};
Span pixel_span(double start, double length, int size) {
    int first = index_in(start, size - 1);
    int last = index_in(start + length + 1.0 - k_edge, size) - 1;
    return Span{first, std::max(first, last)};
}

// Grow-only tables for the enlargement: the decoded column of every frame column followed by
// the decoded row of every frame row, and a copy of the decoded block when it cannot be
// enlarged where it lies.
int32_t* s_map = nullptr;
size_t s_map_capacity = 0;
uint32_t* s_block = nullptr;
size_t s_block_capacity = 0;

template <class T> bool reserve(T*& table, size_t* capacity, size_t count) {
    if (count <= *capacity) return true;
    if (!mem_realloc(table, sizeof(T) * count)) {
        *capacity = 0;
        return false;
    }
    *capacity = count;
    return true;
}

// Decoded index of each of count frame positions, from the far end back: the integer part of
// (start + length - first) - (count - i) * step, with step = length / count - k_edge, kept
// within the decoded size. True when no position takes an index beyond its own, so that
// working backwards never reads a pixel already overwritten.
bool fill_map(int32_t* map, double start, double length, int first, int count, int decoded) {
    double step = length / count - k_edge;
    double end = start + length - first;
    bool in_place = true;
    for (int i = 0; i < count; i++) {
        map[i] = index_in(end - (count - i) * step, decoded - 1);
        if (map[i] > i) in_place = false;
    }
    return in_place;
}

// Spreads the decoded block (decoded_width x decoded_height pixels at the frame's top left) over
// the whole frame by nearest neighbour, from the last row up and from the right.
void enlarge(const EcwRegion& region, Span columns, Span rows, int decoded_width,
             int decoded_height, int frame_width, int frame_height, uint32_t* pixels,
             size_t pitch) {
    if (!reserve(s_map, &s_map_capacity, size_t(frame_width) + size_t(frame_height))) return;
    int32_t* column_of = s_map;
    int32_t* row_of = s_map + frame_width;
    bool in_place =
        fill_map(column_of, region.x, region.width, columns.first, frame_width, decoded_width);
    in_place &= fill_map(row_of, region.y, region.height, rows.first, frame_height, decoded_height);

    const uint32_t* source = pixels;
    size_t source_pitch = pitch;
    if (!in_place) {
        size_t n = size_t(decoded_width) * size_t(decoded_height);
        if (!reserve(s_block, &s_block_capacity, n)) return;
        for (int r = 0; r < decoded_height; r++)
            std::memcpy(s_block + size_t(r) * size_t(decoded_width), pixels + size_t(r) * pitch,
                        sizeof(uint32_t) * size_t(decoded_width));
        source = s_block;
        source_pitch = size_t(decoded_width);
    }
    for (int r = frame_height - 1; r >= 0; r--) {
        const uint32_t* from = source + size_t(row_of[r]) * source_pitch;
        uint32_t* to = pixels + size_t(r) * pitch;
        for (int c = frame_width - 1; c >= 0; c--) to[c] = from[column_of[c]];
    }
}

} // namespace

void ecw_read_rows(int image_id, int list, int first_row) {
    (void)list;
    Image* image = ecw_open(image_id);
    if (!image || first_row < 0 || first_row >= image->height) return;
    auto* codec = static_cast<EcwCodec*>(image->codec);
    const EcwLibrary* library = ecw_library(nullptr);
    int last = std::min(first_row + k_ecw_block_rows, image->height);
    if (library->set_view(codec->view, uint32_t(codec->band_count), codec->band_list, 0,
                          uint32_t(first_row), uint32_t(image->width - 1), uint32_t(last - 1),
                          uint32_t(image->width), uint32_t(last - first_row)) != 0)
        return read_failed(codec);
    for (int y = first_row; y < last; y++) {
        uint8_t* row = image_row_write(image, y, 0);
        if (!row) return;
        for (int b = 0; b < codec->band_count; b++)
            codec->line_pointers[b] = row + size_t(b) * size_t(image->stride);
        if (library->read_line_bands(codec->view, codec->line_pointers) != 0)
            return read_failed(codec);
    }
}

void ecw_read_region(Image* image, const EcwRegion& region, int frame_width, int frame_height,
                     uint32_t* pixels, int pitch) {
    if (frame_width < 1 || frame_height < 1 || !pixels || pitch < frame_width) return;
    image = ecw_open(image->id);
    if (!image) return;
    auto* codec = static_cast<EcwCodec*>(image->codec);
    const EcwLibrary* library = ecw_library(nullptr);
    Span columns = pixel_span(region.x, region.width, image->width);
    Span rows = pixel_span(region.y, region.height, image->height);
    // Never more pixels than the rectangle holds.
    int decoded_width = std::min(frame_width, columns.last - columns.first + 1);
    int decoded_height = std::min(frame_height, rows.last - rows.first + 1);
    if (library->set_view(codec->view, uint32_t(codec->band_count), codec->band_list,
                          uint32_t(columns.first), uint32_t(rows.first), uint32_t(columns.last),
                          uint32_t(rows.last), uint32_t(decoded_width),
                          uint32_t(decoded_height)) != 0)
        return read_failed(codec);
    for (int i = 0; i < decoded_height; i++)
        if (library->read_line_pixels(codec->view, pixels + size_t(i) * size_t(pitch)) != 0)
            return read_failed(codec);
    if (decoded_width == frame_width && decoded_height == frame_height) return;
    enlarge(region, columns, rows, decoded_width, decoded_height, frame_width, frame_height, pixels,
            size_t(pitch));
}

void ecw_close(Image* image) {
    free_codec(image);
}
