// Image buffer: the decoded image's header, palette and its full and reduced row stores.
#pragma once
#include "core/registry.h"
#include <cstdint>

struct Image {
    int32_t id;
    int32_t file_entry_id;
    int32_t format_id;
    int32_t bits_per_sample;
    int32_t samples_per_pixel;
    char* path;
    int32_t format_name_index;
    int32_t width;
    int32_t height;
    int32_t stride;         // bytes of one plane of one row: width rounded up to 4
    int32_t reduced_stride; // bytes of one plane of one reduced row
    int32_t planes;         // 1 (palette index or grey) or 3 (red, green, blue); 4 for 32-bit Sun
    double x_resolution;
    double y_resolution;
    uint8_t transparent[3]; // palette index in [0], or a red, green, blue triple
    uint8_t transparent_flag;
    double gamma; // -1.0 when none
    int32_t georef_link_id;
    uint8_t palette[3][256]; // red, green, blue
    int32_t full_store_id;
    int32_t reduced_store_id;
    Table* full_store;
    Table* reduced_store;
    int32_t decoder_state[11];
    int32_t bit_count;
    void* codec;
};

constexpr int REDUCTION = 10;

void image_alloc(Image* image, int width, int height, int planes, int mode);
uint8_t* image_row_write(Image* image, int y, int plane);
// Every plane of row y, for a caller that writes all `width` bytes of each: the row is neither
// cleared nor read back from disk first. False on failure.
bool image_row_overwrite(Image* image, int y, uint8_t** planes);
uint8_t* image_row_read(Image* image, int y, int plane);
uint8_t* image_row_view(Image* image, double y, bool reduced);
// The row's memory when it is there now, else nullptr; nothing is read, made or counted as a
// use (for prefetching).
const uint8_t* image_row_peek(const Image* image, int row, bool reduced);
void image_clone(int source_id, int* out_id);
void image_rotate(int source_id, int direction, int* out_id);
void image_composite(Image* previous, Image* current, Image* target);
void palette_identity(Image* image);
void palette_grey(Image* image, int bits);
bool palette_is_identity(const Image* image);
bool palette_is_grey(const Image* image);

// Deletion hook of class 1.
void image_delete(int id, void* record);

// Declares the classes of the image model (1 image, 35 table, 38 file entry, 39 frame control)
// with their sizes and deletion hooks. Start-up declares the display and shell classes.
void image_declare_classes();
