// Truevision Targa: the 18-byte header, shared by the decoder and format detection. Targa
// files have no leading magic, so detection relies on the header and the file's layout.
#pragma once
#include <cstdint>

struct TargaHeader {
    int id_length;
    int map_type; // 0 none, 1 colour map present
    int image_type;
    int map_first, map_length, map_entry_bits;
    int width, height;
    int depth;            // bits of one stored pixel
    int alpha_bits;       // attribute bits per pixel (descriptor bits 0-3)
    int origin;           // descriptor bits 4-5: bit 0 right to left, bit 1 top to bottom
    int interleave;       // descriptor bits 6-7
    int64_t pixel_offset; // header, ID field and colour map
};

enum TargaType { TGA_MAPPED = 1, TGA_TRUE = 2, TGA_GREY = 3, TGA_RLE_BIT = 8 };

constexpr int k_targa_header_size = 18;
constexpr int k_targa_footer_size = 26;

void targa_parse_header(const uint8_t* bytes, TargaHeader* h);
inline int targa_pixel_bytes(const TargaHeader& h) {
    return (h.depth + 7) / 8;
}
// Colour-mapped, true-colour or grey, whether run-length encoded or not.
inline int targa_base_type(const TargaHeader& h) {
    return h.image_type & ~TGA_RLE_BIT;
}
inline bool targa_run_length(const TargaHeader& h) {
    return (h.image_type & TGA_RLE_BIT) != 0;
}
// True when the 18 bytes that end a file are the Targa 2.0 footer signature.
bool targa_signature(const uint8_t* last18);
// The header check: known image type, colour map of at most 256 entries with an entry size,
// a pixel depth of 1 to 32 bits once the attribute bits are taken off, no interleaving, and a
// file long enough for the header, the ID field and the colour map.
bool targa_header_plausible(const TargaHeader& h, int64_t file_size);

// Detection: true when the file at path is a Targa file beyond doubt. Either it ends with the
// footer signature, or its header is plausible and its pixel data accounts for the file: the
// stored pixels (or the run-length packets, which must give exactly width x height pixels)
// end inside the file and less than one row of stored pixels before its end.
bool targa_file_beyond_doubt(const char* path, int64_t file_size);
