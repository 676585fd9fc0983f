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
    bool grey_alpha, rgba, alpha;
    int interlace;
    bool header_seen;
    bool end_seen;
    uint8_t* compressed; // all IDAT data, end to end
    size_t used;
    size_t capacity;
    int unit; // per-pixel unit of the inflate buffer size: 1, 2, 4 or 8
    uint8_t* decompressed;
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

// Decompresses the gathered IDAT data, then unfilters and stores the rows.
void png_decode_rows();

// Inflate cannot expand DEFLATE data by more than 1032 times (two bits per 258-byte copy).
constexpr long long PNG_MAX_INFLATE_RATIO = 1032;
// Bytes of the inflate output of a non-interlaced image: rows of a filter byte and the pixels.
long long png_filtered_size();
