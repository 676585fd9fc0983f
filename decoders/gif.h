// GIF decoder: state shared by the block parser, the block handlers and the LZW decoder.
// One decode runs at a time; gif_load resets everything on entry.
#pragma once
#include <cstdint>

struct Image;

struct GifDecoder {
    int page_id;       // page being filled
    int previous_id;   // page of the preceding image, 0 for the first
    int first_page_id; // the image the load dispatch made
    bool first_page_listed;
    int images; // image descriptors met
    int list;   // page list, 0 when none
    uint8_t global_table[3][256];
    int background;       // canvas index (a white entry of the global table)
    uint8_t* row_buffer;  // one page row while pages are prepared
    int64_t output_limit; // page stride x page height + 1: LZW output past it is dropped
    int left, top, width, height;
    bool interlaced;
    bool in_image;          // between an image descriptor and the end of its data
    bool rgb;               // the page being built keeps red, green, blue planes
    bool see_through;       // its transparent pixels show the canvas
    bool canvas_in_palette; // the page below and the canvas colour have indices in its palette
    // The canvas of the next page: a page (0: none, the canvas colour alone) and the rectangle
    // of it that the disposal of its image clears.
    int below_id;
    bool below_cleared;
    int cleared_left, cleared_top, cleared_width, cleared_height;
    uint16_t loop_count;
    bool transparent;
    uint8_t transparent_index;
    int disposal;         // disposal in force for the next image
    int frame_control_id; // last frame control record made, 0 for none
    int end_flag;         // 1 trailer reached, -1 bad byte
};

extern GifDecoder g_gif;

// Disposal methods of a graphic control extension that the canvas of the next page follows.
enum GifDisposal { GIF_DISPOSE_TO_BACKGROUND = 2, GIF_RESTORE_PREVIOUS = 3 };

// The page record by id (null when it is gone); records may move when pages are made.
Image* gif_page(int id);

// Block handlers; each gets the byte that the parser just read.
void gif_skip(unsigned byte);
void gif_plain_text_header(unsigned byte);
void gif_application_extension(unsigned byte);
void gif_graphic_control_extension(unsigned byte);
void gif_image_descriptor(unsigned byte);
void gif_image_data(unsigned byte);
void gif_end_of_image(unsigned byte);

// Page composition (gif_canvas.cpp), for a page whose palette holds the image's colours:
// how many planes it keeps (1 or 3), then its canvas, then the image's rows drawn over it.
int gif_canvas_planes(Image* page);
void gif_canvas_fill(Image* page);
// Image row that the i-th stored row lands on: the four passes of an interlaced image.
int gif_interlaced_row(int i, int height);
// Pixels the image's data gave so far.
int64_t gif_lzw_output();

// False, with a log line, when a page of that size cannot be had: status 14 when the file is
// too small to be such a picture, status 1 when the store could not page it.
bool gif_page_size_fits(int64_t width, int64_t height);
// The LZW output limit of a page of that size.
void gif_set_page_size(int64_t width, int64_t height);
// LZW set-up for a new image with minimum code size m.
void gif_lzw_start(int m);
// Places what the image's data gave that is not on the page yet.
void gif_lzw_finish();
void gif_lzw_release();
// Puts the first `count` pixels of image row i (in stored order) on the current page.
void gif_place_row(int i, const uint8_t* pixels, int count);
