// JPEG decoder state shared by the marker parser (jpeg_headers.cpp), the entropy reader and
// Huffman decoding (jpeg_entropy.h/.cpp), dequantisation and inverse DCT (jpeg_idct.cpp), block
// output and colour (jpeg_output.cpp), sequential scans (jpeg_scan.cpp) and progressive scans
// (jpeg_progressive.cpp). One decode runs at a time; jpeg_load resets everything on entry.
#pragma once
#include <cstdint>

struct Image;

constexpr int JPEG_MAX_COMPONENTS = 4;
constexpr int JPEG_MAX_SCAN_BLOCKS = 10; // blocks per MCU of an interleaved scan (T.81 B.2.3)

struct JpegComponent {
    uint8_t id;
    uint8_t h, v; // sampling factors 1..4
    uint8_t tq;   // quantisation table 0..3
};

struct JpegFrame {
    uint8_t process;   // low four bits of the SOF marker
    uint8_t precision; // P
    uint16_t height, width;
    uint8_t count; // Nf
    JpegComponent comp[JPEG_MAX_COMPONENTS];
};

struct JpegScan {
    int count; // Ns
    uint8_t comp_id[JPEG_MAX_COMPONENTS];
    uint8_t dc_table[JPEG_MAX_COMPONENTS];
    uint8_t ac_table[JPEG_MAX_COMPONENTS];
    int ss, se, ah, al;
};

// One Huffman table slot (class + 2 * id). `lengths` and `symbols` are indexed by a code's
// value: lengths holds the code length - 1, or 255 where no code has that value. `fast` is
// derived from them: for every 9-bit prefix, (length << 8 | symbol) of the code the
// bit-by-bit search finds within those 9 bits, or 0 when it needs more bits. `ac_value` goes
// one step further for AC tables: when the code and its extra bits both fit in the prefix,
// (value << 16 | run << 8 | bits used), the value already extended; 0 otherwise.
constexpr int HUFF_FAST_BITS = 9;
struct HuffTable {
    uint8_t lengths[65536];
    uint8_t symbols[65536];
    uint16_t fast[1 << HUFF_FAST_BITS];
    uint32_t ac_value[1 << HUFF_FAST_BITS];
};

// Frame geometry derived at the start of each scan and for progressive reconstruction.
struct JpegGeometry {
    int hmax, vmax;
    int mcu_cols, mcu_rows;
    int mcu_width, mcu_height; // pixels
    // per frame component
    int blocks_wide[JPEG_MAX_COMPONENTS]; // T.81 component size in blocks
    int blocks_high[JPEG_MAX_COMPONENTS];
    int fh[JPEG_MAX_COMPONENTS], fv[JPEG_MAX_COMPONENTS]; // Hmax / H, Vmax / V
    int block_offset[JPEG_MAX_COMPONENTS]; // first block of the component inside an MCU
    int blocks_per_mcu;                    // over all frame components
};

// ---- state (defined in jpeg_headers.cpp) ----
extern Image* g_jpeg_page;
extern JpegFrame g_jpeg_frame; // the current frame
extern bool g_jpeg_have_frame;
extern uint16_t g_jpeg_quant[4][64]; // zigzag order
extern HuffTable* g_jpeg_huff[8];    // null until defined
extern unsigned g_jpeg_restart_interval;
extern unsigned g_jpeg_restart_count;
extern bool g_jpeg_colour_convert; // cleared by SPIFF
extern int g_jpeg_adobe_transform; // -1 without an Adobe APP14 segment
extern JpegScan g_jpeg_scan;
extern bool g_jpeg_marker_reached;
// Set when a scan of a three-component frame did not cover all components at once: the
// planes then hold Y, Cb, Cr until the frame ends and are converted in place.
extern bool g_jpeg_deferred_colour;
// Set by a progressive scan's decoding when it has decoded the scan to its end.
extern bool g_jpeg_scan_whole;
// Set by the scan decoders once a block of the file has been decoded.
extern bool g_jpeg_blocks_decoded;

extern const uint8_t k_jpeg_zigzag[64];      // natural position of zigzag index i
extern const uint8_t k_jpeg_zigzag_cols[64]; // its position in column order (8 * col + row)

// ---- jpeg_headers.cpp ----
int jpeg_frame_component_index(int id);    // -1 when the frame has no such component
bool jpeg_frame_geometry(JpegGeometry* g); // false (status 14) for unusable sampling

// ---- the entropy-coded segment reader is declared in jpeg_entropy.h ----

// ---- jpeg_idct.cpp: dequantisation and inverse DCT ----
void idct_init(); // once: IDCT constants and zero-skipping tables
// 64 values, 16-byte aligned. Plain vector stores: a memset of this size becomes `rep stos`,
// which is slow to start.
inline void clear_coefficients(int32_t* coef) {
    typedef int32_t Int4 __attribute__((vector_size(16)));
    Int4* p = reinterpret_cast<Int4*>(coef);
    const Int4 zero = {0, 0, 0, 0};
    p[0] = p[1] = p[2] = p[3] = p[4] = p[5] = p[6] = p[7] = zero;
    p[8] = p[9] = p[10] = p[11] = p[12] = p[13] = p[14] = p[15] = zero;
}
// Zigzag coefficients (the first `count`, the rest zero) dequantised into column order.
void dequantise(const int16_t* zz, int count, int tq, int32_t* coef);
// Inverse DCT of a dequantised block in column order (16-byte aligned) whose non-zero values
// lie among the first `count` zigzag positions; level-shifted samples clamped to bytes,
// `stride` bytes between rows.
void idct_block(const int32_t* coef, int count, uint8_t* out, int stride);

// ---- jpeg_output.cpp: MCU samples, colour conversion and storage ----
void colour_tables_init(); // once
// MCU output: per frame component a sample area of (8 * H) x (8 * V) bytes.
bool mcu_buffers_begin(const JpegGeometry& g);
// `count`: coefficients past this zigzag index are zero (64 when not known).
void mcu_put_block(const JpegGeometry& g, int comp, int block, const int16_t* zz, int count);
// The same for a block already dequantised into column order.
void mcu_put_coefficients(const JpegGeometry& g, int comp, int block, const int32_t* coef,
                          int count);
// Converts and stores MCU mcu_index for the given frame components into the output band.
void mcu_store(const JpegGeometry& g, int mcu_index, const int* comps, int ncomps);
// Stores one block of a single-component scan at its block position (raster order).
void block_store(const JpegGeometry& g, int comp, int bx, int by, const int32_t* coef, int count);
void band_flush(); // copies the decoded part of the band into the page
void mcu_buffers_end();
void page_fill_plane(int plane, uint8_t value);
// After the frame: YCbCr planes of a deferred frame to RGB, four-component frames to RGB.
void page_finish_colour();

// ---- jpeg_exif.cpp ----
// Orientation (1 to 8) held by the TIFF structure of an Exif segment; 1 when it holds none.
int jpeg_exif_orientation(const uint8_t* tiff, long size);
// Turns the decoded page to the orientation (2 to 8; 5 to 8 make it height x width).
void jpeg_orient_page(int orientation);

// ---- jpeg_scan.cpp ----
void seq_decode_interval();

// ---- jpeg_progressive.cpp ----
void prog_frame_begin(); // coefficient store for the current frame (status 1 on failure)
void prog_decode_interval();
void prog_reconstruct();
void prog_release();
