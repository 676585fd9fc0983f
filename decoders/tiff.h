// TIFF decoder: records shared by the container (header and tags), the strip and tile reader,
// the compression decoders and the colour conversion.
#pragma once
#include <cstdint>

struct Image;

enum TiffCompression {
    TIFF_NONE = 1,
    TIFF_CCITT_1D = 2,
    TIFF_GROUP3 = 3,
    TIFF_GROUP4 = 4,
    TIFF_LZW = 5,
    TIFF_OLD_JPEG = 6,
    TIFF_JPEG = 7,
    TIFF_PACKBITS = 32773,
};

enum TiffModel { MODEL_PALETTE, MODEL_RGB, MODEL_YCBCR, MODEL_CMYK, MODEL_CIELAB };

// What on-demand decoding needs after the tags are gone; kept with the image (one owned block
// with the offset and byte-count arrays behind it) and freed with it.
struct TiffLayout {
    int32_t width, height; // as stored, before orientation
    int32_t orientation;
    int32_t compression;
    int32_t model;
    int32_t samples;         // samples per pixel
    int32_t bits_per_sample; // 1, 4, 8 or 16
    int32_t separate_planes; // one strip or tile per sample
    int32_t fill_order;
    int32_t predictor;      // 1 none, 2 horizontal differencing
    int32_t big_endian;     // byte order of 16-bit samples
    int32_t rows_per_strip; // the tile length for tiles, at most the height
    int32_t tile_width;     // 0 for strips
    int32_t tiles_across, tiles_down;
    int32_t chunks;        // strips or tiles listed (offsets and byte counts)
    int32_t whole_at_load; // every row decoded by the first load, never dropped
    float ycbcr[3];        // luma coefficients red, green, blue
    float reference[6];    // black and white of Y, Cb, Cr
    uint32_t* offsets;
    uint32_t* byte_counts;
};

// Container: the tags of the first directory. Values left by the tags, before the checks.
struct TiffTags {
    bool big_endian;
    int width, height;
    int samples;
    int bits_per_sample;
    int compression;
    int model;
    bool photometric_seen;
    int photometric;
    int fill_order;
    int orientation;
    int planar;
    int predictor;
    long long rows_per_strip;
    int strip_count; // 0: tiled
    int tile_width, tile_length;
    long long tiles_across, tiles_down;
    long long chunks; // offsets read
    long long byte_count_entries;
    bool reduced_resolution, page, transparency_mask;
    bool colour_map_seen;
    int subsampling[2];
    int sample_format;
    float ycbcr[3];
    float reference[6];
    bool reference_seen;
    uint32_t* offsets;     // holder
    uint32_t* byte_counts; // holder
};

// Reads the entries of the directory at the reader's position into tags and the image's
// fields; status 14, 3 or 1 on a bad entry (the arrays are freed then).
void tiff_read_directory(TiffTags* tags, Image* image);

// Strips and tiles: decodes what holds page row y (everything when the layout says so).
void tiff_decode_for_row(Image* image, const TiffLayout* layout, int page_y);

// Compressed bytes of one strip or tile, read from the file in pieces.
struct TiffFeed {
    const uint8_t* next;
    const uint8_t* end;
    long long file_next; // file offset of the next piece
    long long file_end;  // end of the strip's bytes that the file holds
    bool cut_by_file;    // the file ends before the strip's declared end
    uint8_t* buffer;     // holder
    long capacity;
};

void feed_open(TiffFeed* feed, long long offset, long long count, long piece);
// Next piece into the buffer; false when the strip's bytes are used up (or status set).
bool feed_refill(TiffFeed* feed);
void feed_close(TiffFeed* feed);
inline int feed_byte(TiffFeed* feed) {
    if (feed->next < feed->end) return *feed->next++;
    return feed_refill(feed) ? *feed->next++ : -1;
}

// Uncompressed and PackBits rows: false when the data ends before the row is complete.
bool raw_row(TiffFeed* feed, uint8_t* out, long row_bytes);
bool packbits_row(TiffFeed* feed, uint8_t* out, long row_bytes);

// LZW: one decoder per strip; rows come out in order.
struct LzwDecoder;
LzwDecoder* lzw_open(TiffFeed* feed);
bool lzw_row(LzwDecoder* lzw, uint8_t* out, long row_bytes);
void lzw_close(LzwDecoder*& lzw);

// Undoes horizontal differencing on one row of samples.
void predictor_undo(uint8_t* row, int width, int samples, int bits_per_sample, bool big_endian);

// Colour conversion: one row of stored samples (chunky) to the page's planes.
void tiff_convert_row(const TiffLayout* layout, const uint8_t* samples, int count,
                      uint8_t* const* planes);
// Palettes of the grey interpretations and the checks of what the decoder can show: status
// 3 for sample layouts it cannot show.
void tiff_set_palette(Image* image, const TiffTags* tags);
// Planes of the page for a layout that passed the checks.
int tiff_planes(const TiffTags* tags);
