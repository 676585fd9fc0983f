// PNG decoder state shared by its chunk handlers and its row stage; one decoding at a time.
#pragma once
#include <cstddef>
#include <cstdint>

struct Image;

enum PngColourType {
    PNG_GREY = 0,
    PNG_RGB = 2,
    PNG_PALETTE = 3,
    PNG_GREY_ALPHA = 4,
    PNG_RGBA = 6,
};

struct PngState {
    Image* page;
    long long file_size;
    int colour_type;
    int depth;
    bool grey_alpha, rgba, alpha;
    int interlace;
    bool header_seen;
    bool end_seen;
    // The IDAT data is not gathered: the chunks are read once for their sizes, and their data
    // is read again, from the first IDAT chunk up to IEND, while the rows are decoded.
    long long chunk_at; // file offset of the chunk being handled
    long long first_data_chunk;
    long long end_chunk;
    unsigned long long data_bytes;
    int unit; // per-pixel unit of the inflate output bound: 1, 2, 4 or 8
    // Background from bKGD, laid into rows that decoding stops short of.
    bool has_background;
    uint8_t background[3];
};

extern PngState g_png;

// Chunk handlers: called with the reader at the chunk's data and its declared length, which
// lies inside the file.
using PngChunkHandler = void (*)(uint32_t length);
// Handler of a chunk name, or null when the name is not in the table.
PngChunkHandler png_chunk_handler(const uint8_t name[4]);

// Decompresses the IDAT data a few rows at a time, unfilters and stores the rows.
void png_decode_rows();

// Inflate cannot expand DEFLATE data by more than 1032 times (two bits per 258-byte copy).
constexpr long long PNG_MAX_INFLATE_RATIO = 1032;
// True when the filtered rows of a non-interlaced image (a filter byte and the pixels per row)
// exceed `bytes`.
bool png_filtered_size_exceeds(unsigned long long bytes);

// Reverses a row's filter: `src` holds the filtered bytes, `dst` receives the row, `prior` is
// the row above, already unfiltered (zeros for the first row); `unit` is the predictor
// distance. The three do not overlap.
void png_unfilter(int type, const uint8_t* src, uint8_t* dst, const uint8_t* prior, size_t n,
                  size_t unit);
