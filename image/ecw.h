// ECW images, decoded by the vendor's library (image/ecw_library.h). An ECW image keeps a view
// of the library open in its codec handle; the load decodes only its first block of rows, and
// the display asks the library for the visible region at window resolution instead of
// sampling rows.
#pragma once
#include <cstdint>

struct Image;
struct EcwFileInfo;

// The codec handle of an ECW image (Image::codec). While the view is open the band list and
// the line pointers exist and the image's size and planes are those of the file information.
struct EcwCodec {
    void* view;              // the library's view; nullptr when none is open
    const EcwFileInfo* info; // the library's record, valid while the view is open
    uint32_t* band_list;     // 0, 1, ..., band count - 1
    uint8_t** line_pointers; // one output row per band, set before each line read
    int32_t band_count;
};

// Rows decoded at load, from the first.
constexpr int k_ecw_block_rows = 20;
// Largest width and height taken from a file: the row store keeps a record per row.
constexpr uint32_t k_ecw_max_side = 1u << 24;
// Largest band count: each band is a plane of every stored row.
constexpr int k_ecw_max_bands = 256;

// The load dispatch's call for an ECW file: opens the view (once) and decodes the block of
// rows from first_row (0 at load); a negative first row only opens. Library failures give
// status 7 and close the view.
void ecw_read_rows(int image_id, int list, int first_row);

// Source rectangle in image pixels: top-left corner and size.
struct EcwRegion {
    double x, y, width, height;
};
// Draws the region into frame_width x frame_height pixels of a 32-bit buffer whose rows are
// pitch pixels apart, starting at pixels. The library decodes at most the region's own
// pixel count; a smaller result is enlarged to the frame by nearest neighbour.
void ecw_read_region(Image* image, const EcwRegion& region, int frame_width, int frame_height,
                     uint32_t* pixels, int pitch);

// Closes the view and frees the codec handle (the image is being deleted).
void ecw_close(Image* image);
