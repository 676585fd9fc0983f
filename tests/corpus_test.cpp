// Sample files decoded through the load dispatch and compared with reference decodes: the
// bundled samples, and the shared corpus when it is beside the project. Files that end with a
// failure status, or whose pixels differ from the reference decoder's on purpose, are listed
// with the reason; every other file must match its reference exactly.
#include "corpus_diff.h"

namespace {

const Expectation k_bmp[] = {
    {"gdk-pixbuf-bmp-line-overflow.bmp gdk-pixbuf-bug775242.bmp gdk-pixbuf-bug777315.bmp "
     "gdk-pixbuf-cve-2015-4491.bmp image-rs-Bad_height.bmp image-rs-Bad_width.bmp "
     "pillow-reallybig.bmp",
     1, "declared size past the pixel memory bound"},
    {"gdk-pixbuf-bug776694.bmp gdk-pixbuf-decodecolormap.bmp "
     "image-rs-Bad_unusual_extend_buffer_usage.bmp pillow-l2rgb_read.bmp pillow-shortfile.bmp "
     "image-rs-pal2color.bmp pillow-pal2.bmp pillow-badbitcount.bmp pillow-badwidth.bmp "
     "pillow-rletopdown.bmp",
     14, "shorter than its header, 2 or 30000 bits per pixel, width -127, top-down RLE"},
    {"gdk-pixbuf-invalid.1.bmp image-rs-rgb24rle24.bmp pillow-rgb24jpeg.bmp pillow-rgb24png.bmp "
     "pillow-rgba32abf.bmp pillow-badheadersize.bmp pillow-rgb24prof.bmp",
     3, "compression 4 to 6 or 2566914247, header size 66, embedded colour profile"},
    {"image-rs-Bad_clrsUsed.bmp pillow-badpalettesize.bmp image-rs-rgb16-880.bmp "
     "image-rs-rle_overflow.bmp pillow-pal8oversizepal.bmp",
     0,
     "decoded where the reference refuses: colours-used not read, 8-8-0 bit fields, runs "
     "clipped at the row end, palette entries past 256 skipped"},
    // Bit fields scale as floor(v * 255 / mask); the reference shifts the bits up.
    {"image-rs-V5_A1_R5_G5_B5.bmp pillow-rgb32-111110.bmp", 0, "5 and 11-bit fields", 0, 1},
    {"image-rs-V3_A4_R4_G4_B4_Top_Down.bmp image-rs-V3_X4_R4_G4_B4.bmp", 0, "4-bit fields", 36},
    {"image-rs-rgba16-1924.bmp", 0, "1-9-2-4 layout", 6366},
    {"pillow-rgb16-231.bmp", 0, "2-3-1 layout", 7070},
    {"pillow-rgba16-4444.bmp", 0, "4-4-4-4 layout", 7272},
    {"image-rs-pal4rlecut.bmp", 0, "odd RLE4 absolute runs give all their pixels", 5149},
    {"pillow-badrle.bmp", 0, "pixels that the codes skip keep index 0", 4},
    {"pillow-pal8badindex.bmp", 0, "indices past the palette show black (unset entries)", 4793},
};
SAMPLE_SET_TESTS(BmpCorpus, "bmp", k_bmp)

// GIF, every frame a page, against per-frame references. Our canvas is white where the
// references show the background colour or transparent black, and the first page keeps its
// transparent pixels as they are: files that differ on that account are listed with their
// pixel counts, or held to ImageMagick's frames over white where they agree.
const Expectation k_gif[] = {
    {"gdk-pixbuf-bug785973.gif gdk-pixbuf-invalid.1.gif gdk-pixbuf-max-size.gif", 14,
     "declared size more than the file can hold"},
    {"gdk-pixbuf-hang_114.gif gdk-pixbuf-invalid-code.gif gdk-pixbuf-invalid.4.gif "
     "gdk-pixbuf-overflow-codes-max.gif gdk-pixbuf-overflow-codes.gif "
     "pillow-decompression_bomb.gif",
     14,
     "LZW: code above the end code after a clear, first code not a root, new code not the "
     "next, minimum code size above 11"},
    {"gdk-pixbuf-no-data.gif gdk-pixbuf-zero-size.gif gdk-pixbuf-zero-width.gif "
     "pillow-zero_width.gif gdk-pixbuf-unknown-extension.gif image-rs-zero-loop-count.gif "
     "pillow-test_extents_transparency.gif",
     14, "no image, width 0, extension label 0x2A, garbage between blocks"},
    {"gdk-pixbuf-image-zero-size.gif", 2, "file ends inside the image data"},
    {"gdk-pixbuf-aero.gif gdk-pixbuf-high-color.gif magick-disposal-background.gif "
     "pillow-dispose_bgnd.gif pillow-missing_background.gif gdk-pixbuf-image-inside-bg.gif "
     "gdk-pixbuf-images-combine.gif",
     0, "disposal 2 and local colour tables over the white canvas", kMagickOnWhite},
    {"gdk-pixbuf-image-outside-bg.gif gdk-pixbuf-image-overlap-bg.gif image-rs-oob.gif", 0,
     "the page grows only to the image size; the offset image is clipped", kSizesDiffer},
    {"pillow-background_outside_palette.gif pillow-no_palette_with_transparency_after_rgb.gif", 0,
     "every image is a page; the reference stopped after its first frame", kMorePages},
    // Uncovered canvas is white (the nearest white entry, or white appended past the table),
    // the reference leaves it black.
    {"gdk-pixbuf-dispose-restore-background.gif", 0, "white canvas", 12},
    {"gdk-pixbuf-missing-pixels.gif", 0, "white canvas", 3},
    {"gdk-pixbuf-invalid-colors.gif", 0, "index past the table shows the appended white", 1},
    {"image-rs-issue_1455_undersized.gif", 0, "white canvas", 15000},
    {"image-rs-issue_1455_oversized.gif", 0, "the page grows to the larger image", 142},
    // The first page keeps transparent pixels as their index; later pages build on whole
    // previous pages.
    {"image-rs-any-disposal.gif", 0, "transparent index kept", 3346},
    {"image-rs-border_touching_layers.gif", 0, "transparent index kept", 7500},
    {"image-rs-large-gif-anim-combine.gif", 0, "transparent index kept; white canvas", 510300},
    {"image-rs-mixed-disposal.gif", 0, "transparent index kept", 3769},
    {"pillow-dispose_bgnd_transparency.gif", 0, "transparent index kept", 2699},
    {"pillow-dispose_prev_first_frame.gif", 0, "transparent index kept", 2500},
    {"pillow-first_frame_transparency.gif", 0, "transparent index kept", 1250},
};
SAMPLE_SET_TESTS(GifCorpus, "gif", k_gif)

const Expectation k_pnm[] = {
    {"gdk-pixbuf-bug775232.pnm gdk-pixbuf-invalid.3.ppm pillow-negative_size.ppm", 14,
     "more rows than the file holds, maxval above 65535, no usable size"},
    {"gdk-pixbuf-invalid.1.ppm", 2, "header token 255xxx reads as 255; the raster ends early"},
    {"gdk-pixbuf-invalid.4.ppm", 0, "samples above maxval are clamped; the reference refuses"},
    {"gdk-pixbuf-invalid.5.ppm", 3, "width 0: detection finds no image"},
};
SAMPLE_SET_TESTS(PnmCorpus, "pnm", k_pnm)

const Expectation k_xpm[] = {
    {"gdk-pixbuf-invalid.1.xpm gdk-pixbuf-issue-95-too-narrow.xpm "
     "gdk-pixbuf-issue-95-too-short.xpm gdk-pixbuf-issue-95.xpm",
     14, "a damaged colour line read as pixels, rows shorter than the width, too few rows"},
    {"gdk-pixbuf-valid.1.xpm pillow-hopper_rgb.xpm", 3, "more than 256 colours"},
};
SAMPLE_SET_TESTS(XpmCorpus, "xpm", k_xpm)

const Expectation k_pcx[] = {
    {"pillow-01r_00.pcx pillow-pcx_overrun.bin pillow-pcx_overrun2.bin", 14,
     "a run passes the end of its scan line"},
    {"pillow-ossfuzz-4836216264589312.pcx", 3, "encoding byte 0x20: not recognised"},
};
SAMPLE_SET_TESTS(PcxCorpus, "pcx", k_pcx)

const Expectation k_sun[] = {{"", 0, "every file matches its reference"}};
SAMPLE_SET_TESTS(SunCorpus, "sun", k_sun)

// Targa. Files that detection does not take for Targa end with status 3 at load.
const Expectation k_tga[] = {
    {"gdk-pixbuf-androstanRezeptor.tga image-rs-bad-color-map.tga gdk-pixbuf-empty-file.tga "
     "gdk-pixbuf-overflow.tga gdk-pixbuf-rle-too-many-pixels.tga "
     "gdk-pixbuf-rle-too-many-pixels-2.tga pillow-cross_scan_line_truncated.tga "
     "image-rs-flip-zero-height.tga image-rs-orientation-zero-width.tga "
     "image-rs-sixteen-bit-gray-colormap.tga pillow-p_8.tga pillow-rgb32rle.tga "
     "pillow-rgb32rle_bottom_right.tga pillow-rgb32rle_top_right.tga",
     3,
     "not Targa beyond doubt: pixels missing or not exactly width x height, bad header, 32 "
     "bits without attribute bits"},
    {"gdk-pixbuf-colormap-image-without-colormap.tga gdk-pixbuf-colormap-too-small.tga", 14,
     "colour-mapped without a colour map, indices past it"},
    {"gdk-pixbuf-gtk-logo-16bpp-bottom-left.tga gdk-pixbuf-gtk-logo-16bpp-top-right.tga "
     "image-rs-b5-attrib.tga image-rs-b5-cmap.tga pillow-rgba16.tga",
     0, "5-bit components scale as v * 255 / 31 rounded; the reference replicates bits", 0, 1},
    {"image-rs-b5-unused-cmap.tga", 0, "true colour as stored; the reference applies the map", 16},
};
SAMPLE_SET_TESTS(TargaCorpus, "tga", k_tga)

// TIFF: the first page of each file.
const Expectation k_tiff[] = {
    {"gdk-pixbuf-bug780269.tif gdk-pixbuf-bug784903-overflow-dimensions.tiff "
     "gdk-pixbuf-dpi.tiff pillow-16bit.deflate.tif pillow-hopper_lzma.tif pillow-hopper_webp.tif "
     "pillow-libtiff_segfault.tif pillow-separate_planar_extra_samples.tiff "
     "pillow-tiff_16bit_RGB.tiff pillow-tiff_adobe_deflate.tif libtiff-logluv-3c-16b.tiff "
     "image-rs-clusterfuzz-testcase-minimized-fuzzer_script_tiff-5026894169374720.tif "
     "image-rs-ycbcr_jpeg_8bit.tif libtiff-quad-tile.jpg.tiff pillow-child_ifd.tiff "
     "pillow-old-style-jpeg-compression.tif pillow-tiff_strip_ycbcr_jpeg_2x2_sampling.tif "
     "pillow-tiff_tiled_cmyk_jpeg.tif pillow-total-pages-zero.tif pillow-compression.tif "
     "zigimg-ccitt_rle.tiff",
     3, "compression 0, Deflate, LZMA, WebP, SGILog, JPEG or CCITT modified Huffman"},
    {"libtiff-minisblack-1c-16b.tiff pillow-16bit.MM.cropped.tif pillow-16bit.cropped.tif "
     "libtiff-minisblack-2c-8b-alpha.tiff pillow-rdf.tif libtiff-quad-lzw-compat.tiff "
     "pillow-10ct_32bit_128.tiff pillow-16_bit_binary_pgm.tiff pillow-8bit.s.tif "
     "pillow-hopper.Lab.tif pillow-hopper_bigtiff.tif pillow-seek_too_large.tif "
     "pillow-tiff_wrong_bits_per_sample_2.tiff",
     3,
     "16-bit grey, grey with alpha, old LZW bit order, float or signed samples, CIELab, "
     "BigTIFF, bits per sample that differ"},
    {"image-rs-TODO_hpredict_cmyk.tiff pillow-crash-2020-10-test.tif "
     "pillow-crash-63b1dffefc8c075ddc606c0a2f5fdc15ece78863.tif image-rs-rgb32f_bw.tiff "
     "image-rs-rgb32f_color.tiff pillow-hopper_unknown_pixel_mode.tif pillow-12bit.cropped.tif "
     "pillow-hopper2.tif pillow-hopper2IR.tif "
     "pillow-crash-0da013a13571cc8eb457a39fee8db18f8a3c7127.tif "
     "pillow-crash-74d2a78403a5a59db1fb0a2b8735ac068a75f6e3.tif "
     "pillow-oom-225817ca0f8c663be7ab4b9e717b02c661e66834.tif pillow-timeout-6646305047838720 "
     "pillow-tiff_overflow_rows_per_strip.tif pillow-tiff_strip_cmyk_16l_jpeg.tif "
     "pillow-tiff_16bit_RGBa.tiff",
     14,
     "2, 12, 40, 64 or 96 bits per pixel, unknown tag up to 532, Group 4 code no table "
     "holds, entry of the wrong type, strips far shorter than their rows"},
    {"pillow-crash-86214e58da443d2b80820cff9677a38a33dcbbca.tif", 2,
     "a directory entry's values lie past the end of the file"},
    {"image-rs-ycbcr_lzw_broken.tif pillow-g4-multi.tiff pillow-pport_g4.tif", 0, "no reference"},
    // The reference un-premultiplies associated alpha, the page shows the colour as stored.
    {"image-rs-hpredict.tiff image-rs-hpredict_packbits.tiff", 0, "associated alpha", 900},
    {"pillow-pil136.tiff", 0, "associated alpha", 46},
    {"pillow-tiff_tiled_planar_16bit_RGBa.tiff", 0, "associated alpha", 3999},
    {"image-rs-rgb-3c-16b.tiff libtiff-palette-1c-4b.tiff libtiff-palette-1c-8b.tiff", 0,
     "16-bit samples and colour maps: high byte against the reference's rounding", 0, 1},
    {"image-rs-ycbcr_lzw_bt709.tif", 0, "the reference keeps YCbCr; converted as libtiff does",
     48681},
    {"pillow-hopper4R.tif", 0, "fill order 2: low nibble first; the reference reverses the bits",
     13645},
};
SAMPLE_SET_TESTS_PUBLIC(TiffCorpus, "tiff", k_tiff)

// PNG: the PngSuite and the PNG files of other decoders' test folders; the alpha of the
// references is dropped.
const Expectation k_png[] = {
    {"gdk-pixbuf-large.png", -1, "25200x33300: 2.5 GB of rows through the swap files"},
    {"pngsuite-basi0g16.png pngsuite-basn0g16.png pngsuite-oi2n0g16.png pngsuite-oi9n0g16.png "
     "pngsuite-basi2c16.png pngsuite-basn2c16.png pngsuite-oi4n2c16.png pngsuite-basi4a16.png "
     "pngsuite-basi6a16.png pngsuite-basn4a16.png pngsuite-basn6a16.png pngsuite-bggn4a16.png "
     "pngsuite-bgyn6a16.png pngsuite-cs3n2c16.png pngsuite-tbwn0g16.png "
     "libjpeg-turbo-monkey16.png pillow-i_trns.png pillow-mode_16bit.png",
     0, "16-bit samples give their high byte; the reference rounds", 0, 1},
    {"pngsuite-xc1n0g08.png pngsuite-xc9n2c08.png pngsuite-xd0n2c08.png pngsuite-xd3n2c08.png "
     "pngsuite-xd9n2c08.png gdk-pixbuf-invalid.1.png gdk-pixbuf-invalid.4.png",
     14, "colour type 1 or 9, bit depth 0, 3 or 99, IHDR compression method 32"},
    {"pngsuite-xcrn0g04.png pngsuite-xlfn0g04.png pngsuite-xs7n0g01.png", 14,
     "line ends changed in the signature tail"},
    {"pngsuite-xs1n0g01.png pngsuite-xs2n0g01.png pngsuite-xs4n0g01.png", 3,
     "first, second or fourth signature byte changed: not recognised as PNG"},
    {"pngsuite-xdtn0g01.png gdk-pixbuf-bug696331.png gdk-pixbuf-invalid.3.png "
     "pillow-syntax_num_frames_zero.png pillow-truncated_end_chunk.png pillow-truncated_image.png "
     "pillow-broken.png",
     14, "no IDAT or IEND, file or chunk cut short"},
    {"gdk-pixbuf-bug793470-crasher.png gdk-pixbuf-invalid.2.png pillow-broken_data_stream.png", 14,
     "935820x854554 from a few bytes, filter types above 4, corrupt zlib stream"},
    {"pngsuite-xhdn0g08.png pillow-unknown_compression_method.png", 0,
     "bad IHDR CRC, never checked; unknown iCCP compression, iCCP skipped; no reference"},
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
