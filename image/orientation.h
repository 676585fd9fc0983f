// Placement of stored rows on the page for the eight orientations of TIFF and Exif: 1 as
// stored, 2 mirrored left-right, 3 turned half a turn, 4 mirrored top-bottom, and 5 to 8,
// where stored rows become page columns (5 transposed, 6 turned a quarter turn clockwise, 7
// transverse, 8 turned a quarter turn counter-clockwise) so the page is height x width.
//
// A decoder opens a placement with the stored size, writes stored rows (whole or in pieces,
// as tiles give them) and closes it. Orientations 1 to 4 write each row straight into its
// page row. For 5 to 8 one stored row touches every page row, so rows are gathered into a
// band of consecutive stored rows and the band is written out column-wise when a row beyond
// it arrives or the placement closes: every page row is touched once per band, not once per
// stored row. Rows a decoder never writes stay as the page store made them (zero).
#pragma once
#include <cstdint>

struct Image;

struct Placement {
    Image* page;
    int stored_width, stored_height;
    int orientation; // 1..8
    int planes;
    // Orientations 5 to 8: band_rows stored rows of planes x stored_width bytes each.
    uint8_t* band;
    int band_rows;
    int band_first;   // stored row of the band's first row; -1 when the band is empty
    int band_written; // 1 + the highest band row written
};

bool orientation_transposes(int orientation);
// Page size of a stored size.
void orientation_page_size(int orientation, int stored_width, int stored_height, int* page_width,
                           int* page_height);
// Stored row shown on page row y (orientations 1 to 4).
int orientation_stored_row(int orientation, int page_y, int stored_height);

// Opens a placement onto the page, whose size must be the page size of the stored size.
// min_band_rows: rows a producer writes out of order at most (the tile length for tiles).
// Status 1 when the band cannot be allocated.
void place_begin(Placement* p, Image* page, int stored_width, int stored_height, int orientation,
                 int min_band_rows);
// Writes count pixels of stored row y from stored column x on; planes[k] points at the
// count bytes of plane k.
void place_row(Placement* p, int y, int x, int count, const uint8_t* const* planes);
// Orientation 1 keeps stored rows as page rows: then planes[k] receives the page's plane k of
// stored row y from column x on, for the caller to write in place of place_row. False for the
// other orientations (or when the row cannot be had).
bool place_direct(Placement* p, int y, int x, uint8_t** planes);
// Writes out what the band holds and releases it.
void place_end(Placement* p);
