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

SAMPLE_SET_TESTS_PUBLIC(TiffCorpus, "tiff", k_tiff)

// PNG: the PngSuite and the PNG files of other decoders' test folders; the alpha of the
// references is dropped. The grey ramps of 1, 2 and 4 bits, i * (255 / (2^d - 1)), give the
// references' values. 16-bit samples give their high byte where the references round
// v * 255 / 65535: those files list how many pixels differ (each sample by 1 at most, which the
// bundled run checks).
#define HIGH_BYTE "16-bit samples give their high byte; the reference rounds"
const Expectation k_png[] = {
    {"gdk-pixbuf-large.png", -1, 0, 0,
     "25200x33300: it decodes, but its 2.5 GB of rows through the swap files take too long"},
    {"pngsuite-basi0g16.png pngsuite-basn0g16.png pngsuite-oi2n0g16.png pngsuite-oi9n0g16.png", 0,
     515, 0, HIGH_BYTE},
    {"pngsuite-basi2c16.png pngsuite-basn2c16.png pngsuite-oi4n2c16.png", 0, 286, 0, HIGH_BYTE},
    {"pngsuite-basi4a16.png pngsuite-basi6a16.png pngsuite-basn4a16.png pngsuite-basn6a16.png "
     "pngsuite-bggn4a16.png pngsuite-bgyn6a16.png",
     0, 192, 0, HIGH_BYTE},
    {"pngsuite-cs3n2c16.png", 0, 384, 0, HIGH_BYTE},
    {"pngsuite-tbwn0g16.png", 0, 59, 0, HIGH_BYTE},
    {"libjpeg-turbo-monkey16.png", 0, 14313, 0, HIGH_BYTE},
    {"pillow-i_trns.png", 0, 1768, 0, HIGH_BYTE},
    {"pillow-mode_16bit.png", 0, 8192, 0, HIGH_BYTE " (the default image of an APNG)"},
    {"pngsuite-xc1n0g08.png", 14, 0, 0, "colour type 1"},
    {"pngsuite-xc9n2c08.png", 14, 0, 0, "colour type 9"},
    {"pngsuite-xcrn0g04.png", 14, 0, 0, "CR LF turned into LF in the signature tail"},
    {"pngsuite-xd0n2c08.png", 14, 0, 0, "bit depth 0"},
    {"pngsuite-xd3n2c08.png", 14, 0, 0, "RGB with bit depth 3"},
    {"pngsuite-xd9n2c08.png", 14, 0, 0, "bit depth 99"},
    {"pngsuite-xdtn0g01.png", 14, 0, 0, "no IDAT chunk"},
    {"pngsuite-xhdn0g08.png", 0, 0, 0,
     "bad IHDR CRC, never checked; no reference (the bundled run compares it with basn0g08's)"},
    {"pngsuite-xlfn0g04.png", 14, 0, 0, "LF turned into CR LF in the signature tail"},
    {"pngsuite-xs1n0g01.png pngsuite-xs2n0g01.png pngsuite-xs4n0g01.png", 3, 0, 0,
     "first, second or fourth signature byte changed: not recognised as PNG"},
    {"pngsuite-xs7n0g01.png", 14, 0, 0,
     "first four signature bytes intact, 0x0A byte changed: bad signature tail"},
    {"gdk-pixbuf-bug696331.png", 14, 0, 0, "IDAT cut short, no IEND"},
    {"gdk-pixbuf-bug793470-crasher.png", 14, 0, 0,
     "935820x854554 from a few bytes: cannot inflate to that many rows"},
    {"gdk-pixbuf-invalid.1.png", 14, 0, 0, "bad IHDR (colour type 25)"},
    {"gdk-pixbuf-invalid.2.png", 14, 0, 0, "rows with filter types above 4 (bad Adler-32 too)"},
    {"gdk-pixbuf-invalid.3.png", 14, 0, 0, "no IDAT and no IEND"},
    {"gdk-pixbuf-invalid.4.png", 14, 0, 0, "IHDR compression method 32"},
    {"pillow-broken.png", 14, 0, 0, "first chunk length runs past the end of the file"},
    {"pillow-broken_data_stream.png", 14, 0, 0, "corrupt zlib stream"},
    {"pillow-syntax_num_frames_zero.png", 14, 0, 0, "no IDAT before IEND"},
    {"pillow-truncated_end_chunk.png", 14, 0, 0, "IEND cut short"},
    {"pillow-truncated_image.png", 14, 0, 0, "file cut short"},
    {"pillow-unknown_compression_method.png", 0, 0, 0,
     "the unknown compression method is iCCP's, and iCCP is skipped; no reference"},
};

SAMPLE_SET_TESTS_PUBLIC(PngCorpus, "png", k_png)

} // namespace

// The bundled PngSuite files against their references in png/ref, each sample within 1.
TEST(PngCorpus, BundledSamplesMatchReferences) {
    const std::string dir = test_data_dir() + "/png";
    const std::vector<std::string> files = test_list_dir(dir, ".png");
    ASSERT_GE(files.size(), 40u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const Expectation* e = find_expectation(k_png, sizeof k_png / sizeof *k_png, file);
        LoadResult r = test_load(dir + "/" + file);
        ASSERT_EQ(r.status, e ? e->status : 0);
        if (r.status) continue;
        ASSERT_EQ(r.pages.size(), 1u);
        std::string ref = file == "pngsuite-xhdn0g08.png" ? "pngsuite-basn0g08.png" : file;
        expect_page_near(r.page, dir + "/ref/" + ref + ".pam", 1);
    }
}
