// Sample files decoded through the load dispatch and compared pixel for pixel with reference
// decodes: the bundled samples, and the shared corpus when it is beside the project. Files that
// end with a failure status, or whose pixels differ from the reference decoder's on purpose,
// are listed with the reason; every other file must match its reference exactly.
#include "corpus_diff.h"

#include <sys/stat.h>

namespace {

// BMP.
#define BIT_FIELD_SCALE "channels scale as floor(v * 255 / mask); the reference shifts bits"
const Expectation k_bmp[] = {
    {"gdk-pixbuf-bmp-line-overflow.bmp", 1, 0, 0,
     "declared 1073741825x1 is past the pixel memory bound"},
    {"gdk-pixbuf-bug775242.bmp", 1, 0, 0,
     "declared 16449311x2147483648 is past the pixel memory bound"},
    {"gdk-pixbuf-bug776694.bmp gdk-pixbuf-decodecolormap.bmp "
     "image-rs-Bad_unusual_extend_buffer_usage.bmp pillow-l2rgb_read.bmp "
     "pillow-shortfile.bmp",
     14, 0, 0, "file shorter than its header requires"},
    {"gdk-pixbuf-bug777315.bmp", 1, 0, 0, "declared 1073741826x1 is past the pixel memory bound"},
    {"gdk-pixbuf-cve-2015-4491.bmp", 1, 0, 0,
     "declared 1x1509949441 is past the pixel memory bound"},
    {"gdk-pixbuf-invalid.1.bmp", 3, 0, 0, "compression 2566914247"},
    {"image-rs-Bad_clrsUsed.bmp pillow-badpalettesize.bmp", 0, 0, 0,
     "colours-used field is not read; the palette follows the data offset"},
    {"image-rs-Bad_height.bmp", 1, 0, 0, "declared 6x2147483647 is past the pixel memory bound"},
    {"image-rs-Bad_width.bmp", 1, 0, 0, "declared 2147483647x6 is past the pixel memory bound"},
    {"image-rs-V3_A4_R4_G4_B4_Top_Down.bmp image-rs-V3_X4_R4_G4_B4.bmp", 0, 36, 0, BIT_FIELD_SCALE},
    {"image-rs-V5_A1_R5_G5_B5.bmp", 0, 177, 0, BIT_FIELD_SCALE},
    {"image-rs-pal2color.bmp pillow-pal2.bmp", 14, 0, 0, "2 bits per pixel"},
    {"image-rs-pal4rlecut.bmp", 0, 5149, 0,
     "odd-length RLE4 absolute runs give all their pixels; the reference drops one"},
    {"image-rs-rgb16-880.bmp", 0, 0, 0,
     "bit fields with an 8-8-0 layout decode; the reference refuses them"},
    {"image-rs-rgb24rle24.bmp", 3, 0, 0, "OS/2 compression 4 (RLE24)"},
    {"image-rs-rgba16-1924.bmp", 0, 6366, 0, BIT_FIELD_SCALE},
    {"image-rs-rle_overflow.bmp", 0, 0, 0,
     "runs past the row end are clipped; the reference refuses the file"},
    {"pillow-badbitcount.bmp", 14, 0, 0, "30000 bits per pixel"},
    {"pillow-badheadersize.bmp", 3, 0, 0, "header size 66"},
    {"pillow-badrle.bmp", 0, 4, 0, "pixels that the codes skip keep index 0"},
    {"pillow-badwidth.bmp", 14, 0, 0, "width -127"},
    {"pillow-pal8badindex.bmp", 0, 4793, 0, "indices past the palette show black (unset entries)"},
    {"pillow-pal8oversizepal.bmp", 0, 0, 0, "palette entries past 256 are skipped"},
    {"pillow-reallybig.bmp", 1, 0, 0, "declared 3000000x2000000 is past the pixel memory bound"},
    {"pillow-rgb16-231.bmp", 0, 7070, 0, BIT_FIELD_SCALE},
    {"pillow-rgb24jpeg.bmp pillow-rgb24png.bmp", 3, 0, 0, "compression 4 and 5 (JPEG, PNG)"},
    {"pillow-rgb24prof.bmp", 3, 0, 0, "embedded colour profile"},
    {"pillow-rgb32-111110.bmp", 0, 2938, 0, BIT_FIELD_SCALE},
    {"pillow-rgba16-4444.bmp", 0, 7272, 0, BIT_FIELD_SCALE},
    {"pillow-rgba32abf.bmp", 3, 0, 0, "compression 6"},
    {"pillow-rletopdown.bmp", 14, 0, 0, "run-length data stored top-down"},
};

SAMPLE_SET_TESTS(BmpCorpus, "bmp", k_bmp)

// GIF, every frame a page, against per-frame references. Our canvas is white where the
// references show the background colour or transparent black, and the first page keeps its
// transparent pixels as they are: files that differ on that account are listed with their
// pixel counts, so any other change in the output still fails, or held to ImageMagick's frames
// over white.
const Expectation k_gif[] = {
    {"gdk-pixbuf-aero.gif", 0, kMagickOnWhite, 0,
     "disposal 2 on the first page shows its transparent pixels as the white canvas"},
    {"gdk-pixbuf-bug785973.gif", 14, 0, 0, "declared 65308x65386 is more than the file can hold"},
    {"gdk-pixbuf-dispose-restore-background.gif", 0, 12, 0,
     "uncovered and cleared canvas is white (nearest white entry), the reference shows black"},
    {"gdk-pixbuf-hang_114.gif", 14, 0, 0, "code after a clear code above the end code"},
    {"gdk-pixbuf-high-color.gif", 0, kMagickOnWhite, 0,
     "images with their own colour tables combine on the white canvas"},
    {"gdk-pixbuf-image-inside-bg.gif gdk-pixbuf-missing-pixels.gif", 0, 3, 0,
     "uncovered canvas is white, the reference leaves it black"},
    {"gdk-pixbuf-image-outside-bg.gif gdk-pixbuf-image-overlap-bg.gif image-rs-oob.gif", 0, -1, 0,
     "the page grows only to the image size; the offset image is clipped"},
    {"gdk-pixbuf-image-zero-size.gif", 2, 0, 0,
     "file ends inside the image data: read past the end"},
    {"gdk-pixbuf-images-combine.gif", 0, 6, 0,
     "uncovered canvas is white, the reference leaves it black"},
    {"gdk-pixbuf-invalid-code.gif", 14, 0, 0, "first code is neither a clear code nor a root code"},
    {"gdk-pixbuf-invalid-colors.gif", 0, 1, 0,
     "index past the table shows the appended white, the reference shows black"},
    {"gdk-pixbuf-invalid.1.gif", 14, 0, 0, "declared 46565x23539 is more than the file can hold"},
    {"gdk-pixbuf-invalid.4.gif", 14, 0, 0, "new code other than last assigned + 1"},
    {"gdk-pixbuf-max-size.gif", 14, 0, 0, "declared 65535x65535 is more than the file can hold"},
    {"gdk-pixbuf-no-data.gif gdk-pixbuf-zero-size.gif gdk-pixbuf-zero-width.gif", 14, 0, 0,
     "trailer without any image: nothing to show"},
    {"gdk-pixbuf-overflow-codes-max.gif gdk-pixbuf-overflow-codes.gif "
     "pillow-decompression_bomb.gif",
     14, 0, 0, "LZW minimum code size above 11"},
    {"gdk-pixbuf-unknown-extension.gif", 14, 0, 0, "extension label 0x2A is not allowed"},
    {"image-rs-any-disposal.gif", 0, 3346, 0,
     "first page keeps transparent pixels as their index; later pages build on whole previous "
     "pages"},
    {"image-rs-border_touching_layers.gif", 0, 7500, 0,
     "first page keeps transparent pixels as their index; canvas white"},
    {"image-rs-issue_1455_oversized.gif", 0, 142, 0,
     "the page grows to the larger image; canvas white"},
    {"image-rs-issue_1455_undersized.gif", 0, 15000, 0,
     "uncovered canvas is white, the reference leaves it black"},
    {"image-rs-large-gif-anim-combine.gif", 0, 510300, 0,
     "uncovered canvas is white; first page keeps transparent pixels as their index"},
    {"image-rs-mixed-disposal.gif", 0, 3769, 0,
     "first page keeps transparent pixels as their index, and later pages build on them; the "
     "reference clears to transparent black"},
    {"image-rs-zero-loop-count.gif", 14, 0, 0, "garbage byte after the logical screen"},
    {"magick-disposal-background.gif", 0, kMagickOnWhite, 0,
     "disposal 2 clears each rectangle to the white canvas"},
    {"pillow-background_outside_palette.gif "
     "pillow-no_palette_with_transparency_after_rgb.gif",
     0, 0, 2, "every image is a page; the reference stopped after its first frame"},
    {"pillow-dispose_bgnd.gif", 0, kMagickOnWhite, 0,
     "disposal 2 clears the image's rectangle to the white canvas"},
    {"pillow-dispose_bgnd_transparency.gif", 0, 2699, 0,
     "first page keeps transparent pixels as their index; disposal 2 uses the white canvas"},
    {"pillow-dispose_prev_first_frame.gif", 0, 2500, 0,
     "first page keeps transparent pixels as their index; canvas white"},
    {"pillow-first_frame_transparency.gif", 0, 1250, 0,
     "first page keeps transparent pixels as their index"},
    {"pillow-missing_background.gif", 0, kMagickOnWhite, 0,
     "disposal 2 on the first page shows its transparent pixels as the white canvas"},
    {"pillow-test_extents_transparency.gif", 14, 0, 0,
     "garbage after the image data (a second GIF header)"},
    {"pillow-zero_width.gif", 14, 0, 0, "screen and image of width 0"},
};

SAMPLE_SET_TESTS(GifCorpus, "gif", k_gif)

// PBM, PGM and PPM.
const Expectation k_pnm[] = {
    {"gdk-pixbuf-bug775232.pnm", 14, 0, 0, "declared 10x2222222220 is more than the file can hold"},
    {"gdk-pixbuf-invalid.1.ppm", 2, 0, 0,
     "header token 255xxx reads as 255; the raster then ends early"},
    {"gdk-pixbuf-invalid.3.ppm", 14, 0, 0, "maxval 1000000 is above 65535"},
    {"gdk-pixbuf-invalid.4.ppm", 0, 0, 0,
     "samples above maxval are clamped to 255; the reference refuses them"},
    {"gdk-pixbuf-invalid.5.ppm", 3, 0, 0, "width 0: detection finds no image"},
    {"pillow-negative_size.ppm", 14, 0, 0, "header numbers give no usable size"},
};

SAMPLE_SET_TESTS(PnmCorpus, "pnm", k_pnm)

// X pixmap.
const Expectation k_xpm[] = {
    {"gdk-pixbuf-invalid.1.xpm", 14, 0, 0,
     "its damaged third colour line counts as the first pixel row, whose pixels match no key"},
    {"gdk-pixbuf-issue-95-too-narrow.xpm", 14, 0, 0, "rows shorter than the width"},
    {"gdk-pixbuf-issue-95-too-short.xpm gdk-pixbuf-issue-95.xpm", 14, 0, 0,
     "fewer rows than the height"},
    {"gdk-pixbuf-valid.1.xpm pillow-hopper_rgb.xpm", 3, 0, 0, "more than 256 colours"},
};

SAMPLE_SET_TESTS(XpmCorpus, "xpm", k_xpm)

// PCX.
const Expectation k_pcx[] = {
    {"pillow-01r_00.pcx pillow-pcx_overrun.bin pillow-pcx_overrun2.bin", 14, 0, 0,
     "a run passes the end of its scan line"},
    {"pillow-ossfuzz-4836216264589312.pcx", 3, 0, 0, "encoding byte 0x20: not recognised"},
};

SAMPLE_SET_TESTS(PcxCorpus, "pcx", k_pcx)

// Sun Rasterfile: every file matches its reference.
const Expectation k_sun[] = {{"", 0, 0, 0, ""}};

SAMPLE_SET_TESTS(SunCorpus, "sun", k_sun)

// Targa. Files that detection does not take for Targa end with status 3 at load.
#define FIVE_BITS "5-bit components scale as v*255/31 rounded; the reference replicates bits"
const Expectation k_tga[] = {
    {"gdk-pixbuf-androstanRezeptor.tga image-rs-bad-color-map.tga", 3, 0, 0,
     "header only, pixel data missing: not Targa beyond doubt"},
    {"gdk-pixbuf-colormap-image-without-colormap.tga", 14, 0, 0,
     "colour-mapped image whose colour-map type is 0"},
    {"gdk-pixbuf-colormap-too-small.tga", 14, 0, 0, "indices past the 106-entry colour map"},
    {"gdk-pixbuf-empty-file.tga", 3, 0, 0, "empty file"},
    {"gdk-pixbuf-gtk-logo-16bpp-bottom-left.tga gdk-pixbuf-gtk-logo-16bpp-top-right.tga", 0, 987, 0,
     FIVE_BITS},
    {"gdk-pixbuf-overflow.tga gdk-pixbuf-rle-too-many-pixels.tga "
     "gdk-pixbuf-rle-too-many-pixels-2.tga pillow-cross_scan_line_truncated.tga",
     3, 0, 0, "packets do not give exactly width x height pixels inside the file: not Targa"},
    {"image-rs-b5-attrib.tga image-rs-b5-cmap.tga", 0, 15, 0, FIVE_BITS},
    {"image-rs-b5-unused-cmap.tga", 0, 16, 0,
     "true-colour pixels shown as stored (the same picture as image-rs-b5-attrib.tga); the "
     "reference applies the unused colour map"},
    {"image-rs-flip-zero-height.tga image-rs-orientation-zero-width.tga "
     "image-rs-sixteen-bit-gray-colormap.tga pillow-p_8.tga",
     3, 0, 0, "not a valid Targa header: not recognised"},
    {"pillow-rgb32rle.tga pillow-rgb32rle_bottom_right.tga pillow-rgb32rle_top_right.tga", 3, 0, 0,
     "32 bits per pixel without attribute bits"},
    {"pillow-rgba16.tga", 0, 1, 0, FIVE_BITS},
};

SAMPLE_SET_TESTS(TargaCorpus, "tga", k_tga)

// TIFF: the first page of each file. References of associated-alpha files are un-premultiplied
// by the reference decoder, where the page shows the colour samples as stored.
const Expectation k_tiff[] = {
    {"gdk-pixbuf-bug780269.tif", 3, 0, 0, "compression 0"},
    {"gdk-pixbuf-bug784903-overflow-dimensions.tiff gdk-pixbuf-dpi.tiff "
     "pillow-16bit.deflate.tif pillow-hopper_lzma.tif pillow-hopper_webp.tif "
     "pillow-libtiff_segfault.tif pillow-separate_planar_extra_samples.tiff "
     "pillow-tiff_16bit_RGB.tiff pillow-tiff_adobe_deflate.tif libtiff-logluv-3c-16b.tiff",
     3, 0, 0, "Deflate, LZMA, WebP or SGILog compression"},
    {"image-rs-TODO_hpredict_cmyk.tiff", 14, 0, 0, "40 bits per pixel (CMYK and an extra sample)"},
    {"pillow-crash-2020-10-test.tif pillow-crash-63b1dffefc8c075ddc606c0a2f5fdc15ece78863.tif", 14,
     0, 0, "a tag number up to 532 that no handler knows"},
    {"image-rs-clusterfuzz-testcase-minimized-fuzzer_script_tiff-5026894169374720.tif", 3, 0, 0,
     "JPEG compression"},
    {"pillow-crash-86214e58da443d2b80820cff9677a38a33dcbbca.tif", 2, 0, 0,
     "a directory entry's values lie past the end of the file"},
    {"image-rs-hpredict.tiff image-rs-hpredict_packbits.tiff", 0, 900, 0,
     "associated alpha: colour shown as stored"},
    {"pillow-pil136.tiff", 0, 46, 0, "associated alpha: colour shown as stored"},
    {"pillow-tiff_tiled_planar_16bit_RGBa.tiff", 0, 3999, 0,
     "associated alpha: colour shown as stored"},
    {"image-rs-rgb-3c-16b.tiff", 0, 12361, 0,
     "16-bit samples give their high byte; the reference rounds (off by at most 1)"},
    {"libtiff-palette-1c-4b.tiff", 0, 10610, 0,
     "colour map entries scale v x 255 / 65535 with rounding; the reference takes the high byte"},
    {"libtiff-palette-1c-8b.tiff", 0, 12619, 0,
     "colour map entries scale v x 255 / 65535 with rounding; the reference takes the high byte"},
    {"image-rs-rgb32f_bw.tiff image-rs-rgb32f_color.tiff pillow-hopper_unknown_pixel_mode.tif", 14,
     0, 0, "96 bits per pixel"},
    {"image-rs-ycbcr_jpeg_8bit.tif libtiff-quad-tile.jpg.tiff pillow-child_ifd.tiff "
     "pillow-old-style-jpeg-compression.tif pillow-tiff_strip_ycbcr_jpeg_2x2_sampling.tif "
     "pillow-tiff_tiled_cmyk_jpeg.tif pillow-total-pages-zero.tif",
     3, 0, 0, "JPEG compression"},
    {"pillow-compression.tif zigimg-ccitt_rle.tiff", 3, 0, 0, "CCITT modified Huffman"},
    {"image-rs-ycbcr_lzw_broken.tif", 0, 0, 0, "no reference; the first strip decodes"},
    {"image-rs-ycbcr_lzw_bt709.tif", 0, 48681, 0,
     "the reference keeps the YCbCr samples; they are converted to RGB as libtiff does"},
    {"libtiff-minisblack-1c-16b.tiff pillow-16bit.MM.cropped.tif pillow-16bit.cropped.tif", 3, 0, 0,
     "16-bit grey"},
    {"libtiff-minisblack-2c-8b-alpha.tiff pillow-rdf.tif", 3, 0, 0, "grey with alpha"},
    {"libtiff-quad-lzw-compat.tiff", 3, 0, 0, "LZW codes in the old bit order"},
    {"pillow-10ct_32bit_128.tiff pillow-16_bit_binary_pgm.tiff pillow-8bit.s.tif", 3, 0, 0,
     "floating-point or signed samples"},
    {"pillow-12bit.cropped.tif pillow-hopper2.tif pillow-hopper2IR.tif", 14, 0, 0,
     "12 or 2 bits per pixel"},
    {"pillow-crash-0da013a13571cc8eb457a39fee8db18f8a3c7127.tif", 14, 0, 0, "2 bits per pixel"},
    {"pillow-crash-74d2a78403a5a59db1fb0a2b8735ac068a75f6e3.tif", 14, 0, 0,
     "Group 4 run code that no table holds"},
    {"pillow-g4-multi.tiff pillow-pport_g4.tif", 0, 0, 0, "Group 4 page without a reference"},
    {"pillow-hopper.Lab.tif", 3, 0, 0, "CIELab"},
    {"pillow-hopper4R.tif", 0, 13645, 0,
     "fill order 2 takes the low nibble first; the reference reverses every bit of the byte"},
    {"pillow-hopper_bigtiff.tif pillow-seek_too_large.tif", 3, 0, 0, "BigTIFF: not detected"},
    {"pillow-oom-225817ca0f8c663be7ab4b9e717b02c661e66834.tif pillow-timeout-6646305047838720", 14,
     0, 0, "entry of the wrong type"},
    {"pillow-tiff_overflow_rows_per_strip.tif", 14, 0, 0,
     "strip byte counts far below the rows: the first strip ends early"},
    {"pillow-tiff_strip_cmyk_16l_jpeg.tif pillow-tiff_16bit_RGBa.tiff", 14, 0, 0,
     "64 bits per pixel"},
    {"pillow-tiff_wrong_bits_per_sample_2.tiff", 3, 0, 0, "bits per sample differ"},
};

TEST(TiffCorpus, PublicCorpusMatchesReferences) {
    if (corpus_dir().empty() || corpus_ref_dir().empty())
        GTEST_SKIP() << "public corpus not found beside the project";
    check_sample_set(public_corpus(), "tiff", k_tiff, sizeof k_tiff / sizeof *k_tiff);
}

// PNG: the PngSuite, and the PNG files of other decoders' test folders. The alpha of the
// references is dropped.
enum Check {
    kNone,     // refused, or no pixels to compare: only the status is checked
    kPixels,   // the reference's RGB exactly
    kHighByte, // 16-bit colour: each sample within 1 of the reference
    kSameAs,   // the pixels of another file's reference (named in the note)
};

struct Case {
    const char* names; // space-separated; PngSuite names without "pngsuite-" and ".png"
    int status;
    Check check;
    const char* why;
};

// Grey ramps: the page palette for grey depth d is i * (255 / (2^d - 1)), which gives the same
// values as the references' scaling for 1, 2, 4 and 8 bits; no case differs on that account.
#define GREY_RAMP(d) #d "-bit grey; grey ramp i*(255/(2^d-1)) equals the reference scaling"
#define HIGH_BYTE(kind)                                                                            \
    "16-bit " kind ": high byte of each sample; the reference rounds v*255/65535, so samples "     \
    "may differ by 1"
const Case k_suite[] = {
    {"PngSuite", 0, kPixels, "8-bit palette logo"},
    {"basi0g01 basi0g02 basi0g04 basi0g08 basi2c08 basi3p01 basi3p02 basi3p04 basi3p08 basi4a08 "
     "basi6a08 s01i3p01 s02i3p01 s09i3p02 s32i3p04 s40i3p04",
     0, kPixels, "Adam7 interlaced: the seven passes laid into the rows"},
    {"basi0g16 basi2c16 basi4a16 basi6a16", 0, kHighByte,
     "Adam7 interlaced, " HIGH_BYTE("samples")},
    {"basn0g01", 0, kPixels, GREY_RAMP(1)},
    {"basn0g02", 0, kPixels, GREY_RAMP(2)},
    {"basn0g04", 0, kPixels, GREY_RAMP(4)},
    {"basn0g08", 0, kPixels, "8-bit grey"},
    {"basn0g16 g25n0g16 oi2n0g16 oi9n0g16 tbwn0g16", 0, kHighByte, HIGH_BYTE("grey")},
    {"basn2c08", 0, kPixels, "8-bit RGB"},
    {"basn2c16 cs3n2c16 oi4n2c16 tbbn2c16 tbgn2c16", 0, kHighByte, HIGH_BYTE("RGB")},
    {"basn3p01", 0, kPixels, "1-bit palette"},
    {"basn3p02", 0, kPixels, "2-bit palette"},
    {"basn3p04", 0, kPixels, "4-bit palette"},
    {"basn3p08", 0, kPixels, "8-bit palette"},
    {"basn4a08", 0, kPixels, "8-bit grey-alpha, alpha dropped"},
    {"basn4a16 bggn4a16", 0, kHighByte, HIGH_BYTE("grey-alpha") ", alpha dropped"},
    {"basn6a08", 0, kPixels, "8-bit RGBA, alpha dropped"},
    {"basn6a16 bgyn6a16", 0, kHighByte, HIGH_BYTE("RGBA")},
    {"bgbn4a08", 0, kPixels,
     "8-bit grey-alpha, alpha dropped; bKGD fill overwritten by the pixels"},
    {"bgwn6a08", 0, kPixels, "8-bit RGBA, alpha dropped; bKGD fill overwritten by the pixels"},
    {"ccwn2c08", 0, kPixels, "8-bit RGB; cHRM skipped"},
    {"cdfn2c08", 0, kPixels, "8-bit RGB; pHYs"},
    {"ch1n3p04", 0, kPixels, "4-bit palette; hIST skipped"},
    {"cm0n0g04", 0, kPixels, GREY_RAMP(4) "; tIME skipped"},
    {"cs5n3p08", 0, kPixels, "8-bit palette; sBIT skipped"},
    {"cs8n2c08", 0, kPixels, "8-bit RGB; sBIT skipped"},
    {"ct0n0g04 ct1n0g04 ctjn0g04 ctzn0g04", 0, kPixels, GREY_RAMP(4) "; text chunks skipped"},
    {"exif2c08", 0, kPixels, ""},
    {"f00n2c08 f01n2c08 f02n2c08 f03n2c08 f04n2c08", 0, kPixels, "8-bit RGB; row filters"},
    {"f99n0g04", 0, kPixels, GREY_RAMP(4) "; all filter types"},
    {"g03n2c08", 0, kPixels, "8-bit RGB; gAMA"},
    {"g10n3p04", 0, kPixels, "4-bit palette; gAMA"},
    {"pp0n6a08", 0, kPixels, "8-bit RGBA, alpha dropped; sPLT skipped"},
    {"s01n3p01 s02n3p01 s03n3p01 s04n3p01", 0, kPixels, "1-bit palette; odd size"},
    {"s05n3p02 s06n3p02 s07n3p02 s08n3p02 s09n3p02", 0, kPixels, "2-bit palette; odd size"},
    {"s32n3p04 s33n3p04 s34n3p04 s35n3p04 s36n3p04 s37n3p04 s38n3p04 s39n3p04 s40n3p04", 0, kPixels,
     "4-bit palette; odd size"},
    {"tbbn0g04", 0, kPixels,
     GREY_RAMP(4) "; tRNS recorded, pixels "
                  "unchanged"},
    {"tbbn3p08 tbgn3p08 tbwn3p08 tbyn3p08", 0, kPixels,
     "8-bit palette; tRNS recorded, pixels unchanged"},
    {"tbrn2c08", 0, kPixels, "8-bit RGB; tRNS recorded, pixels unchanged"},
    {"tm3n3p02", 0, kPixels, "2-bit palette; tRNS with several transparent entries"},
    {"tp0n0g08", 0, kPixels, "8-bit grey; tRNS"},
    {"tp0n2c08", 0, kPixels, "8-bit RGB; tRNS"},
    {"tp0n3p08 tp1n3p08", 0, kPixels, "8-bit palette; tRNS"},
    {"xc1n0g08", 14, kNone, "colour type 1"},
    {"xc9n2c08", 14, kNone, "colour type 9"},
    {"xcrn0g04", 14, kNone, "CR LF turned into LF in the signature tail"},
    {"xcsn0g01", 0, kPixels, "bad IDAT CRC, never checked"},
    {"xd0n2c08", 14, kNone, "bit depth 0"},
    {"xd3n2c08", 14, kNone, "RGB with bit depth 3"},
    {"xd9n2c08", 14, kNone, "bit depth 99"},
    {"xdtn0g01", 14, kNone, "no IDAT chunk"},
    {"xhdn0g08", 0, kSameAs, "bad IHDR CRC, never checked: same pixels as basn0g08"},
    {"xlfn0g04", 14, kNone, "LF turned into CR LF in the signature tail"},
    {"xs1n0g01", 3, kNone, "first signature byte 0x09: not recognised as PNG (kind 200)"},
    {"xs2n0g01", 3, kNone, "second signature byte Q: not recognised as PNG (kind 200)"},
    {"xs4n0g01", 3, kNone, "fourth signature byte lower case: not recognised as PNG (kind 200)"},
    {"xs7n0g01", 14, kNone,
     "first four signature bytes intact, 0x0A byte changed: bad signature tail"},
    {"z00n2c08 z09n2c08", 0, kPixels, "8-bit RGB; zlib level"},
};

// gdk-pixbuf-large.png (25200x33300 RGB) is left out: it decodes, but its 2.5 GB of rows go
// through the store's swap files, which takes too long for the suite.
const Case k_files[] = {
    {"gdk-pixbuf-bug696331.png", 14, kNone, "IDAT cut short, no IEND"},
    {"gdk-pixbuf-bug793470-crasher.png", 14, kNone,
     "935820x854554 from a few bytes: cannot inflate to that many rows"},
    {"gdk-pixbuf-icc-profile.png", 0, kPixels, "RGBA with iCCP, cHRM, bKGD, pHYs, tEXt"},
    {"gdk-pixbuf-invalid.1.png", 14, kNone, "bad IHDR (colour type 25)"},
    {"gdk-pixbuf-invalid.2.png", 14, kNone, "rows with filter types above 4 (bad Adler-32 too)"},
    {"gdk-pixbuf-invalid.3.png", 14, kNone, "no IDAT and no IEND"},
    {"gdk-pixbuf-invalid.4.png", 14, kNone, "IHDR compression method 32"},
    {"gdk-pixbuf-premature-end.png", 0, kPixels, "stream ends cleanly; the reference agrees"},
    {"image-rs-acid2.png", 0, kPixels, "RGB with tRNS and bKGD"},
    {"image-rs-issue_2026.png libjpeg-turbo-vgl_5674_0098.png", 0, kPixels, "8-bit grey"},
    {"image-rs-issue_403.png", 0, kPixels, "1-bit palette"},
    {"image-rs-rgba16.png", 0, kHighByte, "16-bit RGBA: high bytes"},
    {"image-rs-tp1n3p08_xmp.png", 0, kPixels, "palette with an iTXt XMP packet"},
    {"jpeg-decoder-jpg-size-6x6.jpg", 0, kPixels, "PNG content named .jpg: content decides"},
    {"libjpeg-turbo-monkey16.png", 0, kHighByte,
     "16-bit RGB: high bytes; the reference rounds, samples within 1"},
    {"libjpeg-turbo-testorig.png pillow-hopper.png", 0, kPixels, "8-bit RGB"},
    {"pillow-1_trns.png", 0, kPixels, "tRNS"},
    {"pillow-broken.png", 14, kNone, "first chunk length runs past the end of the file"},
    {"pillow-broken_data_stream.png", 14, kNone, "corrupt zlib stream"},
    {"pillow-courB08.pbm", 0, kPixels, "PNG content named .pbm"},
    {"pillow-delay.png pillow-dispose_op_previous.png pillow-sequence_gap.png "
     "pillow-split_fdat.png",
     0, kPixels, "APNG: the default image"},
    {"pillow-exif.png", 0, kPixels, "eXIf skipped"},
    {"pillow-hopper_idat_after_image_end.png", 0, kPixels,
     "IDAT data past the end of the stream is ignored"},
    {"pillow-i_trns.png", 0, kHighByte, "16-bit grey with tRNS: high bytes"},
    {"pillow-icc_profile.png", 0, kPixels, "iCCP skipped"},
    {"pillow-l_trns.png", 0, kPixels, "grey with tRNS"},
    {"pillow-mode_16bit.png", 0, kHighByte, "16-bit RGBA APNG: high bytes of the default image"},
    {"pillow-p_16.png", 0, kPixels, "palette"},
    {"pillow-p_trns_single.png", 0, kPixels, "palette with one transparent entry"},
    {"pillow-padded_idat.png", 0, kPixels, "IDAT with padding after the stream"},
    {"pillow-pil123p.png pillow-pil123rgba.png", 0, kPixels, "Adam7 interlaced"},
    {"pillow-png_decompression_dos.png", 0, kPixels, "huge zTXt skipped unread"},
    {"pillow-rgb_trns.png", 0, kPixels, "RGB with tRNS"},
    {"pillow-syntax_num_frames_zero.png", 14, kNone, "no IDAT before IEND"},
    {"pillow-tRNS_null_1x1.png", 0, kPixels, "empty tRNS"},
    {"pillow-transparent.png", 0, kPixels, "RGBA"},
    {"pillow-truncated_end_chunk.png", 14, kNone, "IEND cut short"},
    {"pillow-truncated_image.png", 14, kNone, "file cut short"},
    {"pillow-unknown_compression_method.png", 0, kNone,
     "the unknown compression method is iCCP's, and iCCP is skipped"},
    {"zigimg-notbmp.png", 0, kPixels, "RGB with iCCP, pHYs, tIME, tEXt"},
};

// Loads dir/file and checks it against the case; refs holds the references.
void check_png(const Case& c, const std::string& file, const std::string& dir,
               const std::string& refs) {
    SCOPED_TRACE(file + ": " + c.why);
    LoadResult r = test_load(dir + "/" + file);
    ASSERT_EQ(r.status, c.status);
    if (c.status != 0) return;
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.page->format_name_index, 15);
    if (c.check == kNone) return;
    std::string ref = c.check == kSameAs ? "pngsuite-basn0g08.png" : file;
    expect_page_near(r.page, refs + "/" + ref + ".pam", c.check == kHighByte ? 1 : 0);
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

} // namespace

TEST(PngSuite, EveryFileOfTheSharedCorpus) {
    const std::string dir = corpus_dir();
    if (dir.empty()) GTEST_SKIP() << "shared corpus not found beside the project";
    int checked = 0;
    for (const Case& c : k_suite)
        for (const std::string& name : names_of(c.names)) {
            check_png(c, "pngsuite-" + name + ".png", dir + "/png", corpus_ref_dir() + "/png");
            checked++;
        }
    EXPECT_EQ(checked, 113);
}

TEST(PngSuite, BundledSubset) {
    const std::string dir = test_data_dir() + "/png";
    int checked = 0;
    for (const Case& c : k_suite)
        for (const std::string& name : names_of(c.names)) {
            if (!file_exists(dir + "/pngsuite-" + name + ".png")) continue;
            check_png(c, "pngsuite-" + name + ".png", dir, dir + "/ref");
            checked++;
        }
    EXPECT_GE(checked, 40);
}

TEST(PngCorpus, FilesOfOtherTestSuites) {
    const std::string dir = corpus_dir();
    if (dir.empty()) GTEST_SKIP() << "shared corpus not found beside the project";
    for (const Case& c : k_files)
        for (const std::string& file : names_of(c.names))
            check_png(c, file, dir + "/png", corpus_ref_dir() + "/png");
}
