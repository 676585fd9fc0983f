// BMP files decoded through the load dispatch and compared with reference decodes. Files that
// end with a failure status, or whose pixels differ from the reference decoder's on purpose,
// are listed with the reason; every other file must match its reference exactly.
#include "corpus_diff.h"

namespace {

const Expectation k_expected[] = {
    {"gdk-pixbuf-bmp-line-overflow.bmp", 1, 0, 0,
     "declared 1073741825x1 is past the pixel memory bound"},
    {"gdk-pixbuf-bug775242.bmp image-rs-V4_A8_R8_G8_B8.bmp image-rs-V4_R5_G6_B5.bmp "
     "pillow-pal8v4.bmp zigimg-simple_v4.bmp",
     3, 0, 0, "header size 108"},
    {"gdk-pixbuf-bug776694.bmp gdk-pixbuf-decodecolormap.bmp "
     "image-rs-Bad_unusual_extend_buffer_usage.bmp pillow-l2rgb_read.bmp "
     "pillow-shortfile.bmp",
     14, 0, 0, "file shorter than its header requires"},
    {"gdk-pixbuf-bug777315.bmp gdk-pixbuf-mandatory-bitmasks.bmp "
     "image-rs-V3_A1_R5_G5_B5.bmp image-rs-V3_A4_R4_G4_B4_Top_Down.bmp "
     "image-rs-V3_R5_G6_B5.bmp image-rs-V3_X4_R4_G4_B4.bmp "
     "image-rs-V3_X8_R8_G8_B8_Top_Down.bmp pillow-rgba32h56.bmp",
     3, 0, 0, "header size 56"},
    {"gdk-pixbuf-cve-2015-4491.bmp", 1, 0, 0,
     "declared 1x1509949441 is past the pixel memory bound"},
    {"gdk-pixbuf-invalid.1.bmp", 3, 0, 0, "compression 2566914247"},
    {"image-rs-Bad_clrsUsed.bmp pillow-badpalettesize.bmp", 0, 0, 0,
     "colours-used field is not read; the palette follows the data offset"},
    {"image-rs-Bad_height.bmp", 1, 0, 0, "declared 6x2147483647 is past the pixel memory bound"},
    {"image-rs-Bad_width.bmp", 1, 0, 0, "declared 2147483647x6 is past the pixel memory bound"},
    {"image-rs-Core_1_Bit.bmp image-rs-Core_8_Bit.bmp libtiff-palette-1c-8b.bmp "
     "libtiff-rgb-3c-8b.bmp pillow-pal8os2.bmp pillow-pal8os2sp.bmp",
     3, 0, 0, "header size 12"},
    {"image-rs-V5_24_Bit.bmp image-rs-V5_A1_R5_G5_B5.bmp "
     "image-rs-V5_A8_R8_G8_B8_Rgb.bmp image-rs-V5_A8_R8_G8_B8_Rgb_BadMask.bmp "
     "image-rs-imagemagick_invalid_run_length_issue_2321.bmp image-rs-rgba16-1924.bmp "
     "pillow-pal8v5.bmp pillow-rgb24jpeg.bmp pillow-rgb24lprof.bmp pillow-rgb24png.bmp "
     "pillow-rgb24prof.bmp pillow-rgb32bf-xbgr.bmp pillow-rgba16-4444.bmp "
     "pillow-rgba32.bmp pngsuite-basn6a08.bmp pngsuite-tbbn3p08.bmp "
     "zigimg-windows_rgba_v5.bmp",
     3, 0, 0, "header size 124"},
    {"image-rs-pal2color.bmp pillow-pal2.bmp", 14, 0, 0, "2 bits per pixel"},
    {"image-rs-pal4rlecut.bmp", 0, 5149, 0,
     "odd-length RLE4 absolute runs give all their pixels; the reference drops one"},
    {"image-rs-rgb16-880.bmp", 0, 0, 0,
     "bit fields with an 8-8-0 layout decode; the reference refuses them"},
    {"image-rs-rgb24rle24.bmp pillow-pal8os2v2.bmp", 3, 0, 0, "header size 64"},
    {"image-rs-rle_overflow.bmp", 0, 0, 0,
     "runs past the row end are clipped; the reference refuses the file"},
    {"pillow-badbitcount.bmp", 14, 0, 0, "30000 bits per pixel"},
    {"pillow-badheadersize.bmp", 3, 0, 0, "header size 66"},
    {"pillow-badrle.bmp", 0, 4, 0, "pixels that the codes skip keep index 0"},
    {"pillow-badwidth.bmp", 14, 0, 0, "width -127"},
    {"pillow-pal8badindex.bmp", 0, 4793, 0, "indices past the palette show black (unset entries)"},
    {"pillow-pal8os2v2-16.bmp", 3, 0, 0, "header size 16"},
    {"pillow-pal8oversizepal.bmp", 0, 0, 0, "palette entries past 256 are skipped"},
    {"pillow-reallybig.bmp", 1, 0, 0, "declared 3000000x2000000 is past the pixel memory bound"},
    {"pillow-rgb16-231.bmp", 0, 7070, 0,
     "channels scale as floor(v * 255 / mask); the reference shifts bits"},
    {"pillow-rgb32-111110.bmp", 0, 2938, 0,
     "channels scale as floor(v * 255 / mask); the reference shifts bits"},
    {"pillow-rgb32h52.bmp", 3, 0, 0, "header size 52"},
    {"pillow-rgba32abf.bmp", 3, 0, 0, "compression 6"},
    {"pillow-rletopdown.bmp", 14, 0, 0, "run-length data stored top-down"},
};

} // namespace

SAMPLE_SET_TESTS(BmpCorpus, "bmp", k_expected)
