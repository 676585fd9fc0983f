// PNG files of other decoders' test folders in the shared corpus (not PngSuite): expected
// status of each, and pixels against the reference decode where one exists.
#include "corpus_diff.h"

namespace {

enum Check { kNone, kPixels, kHighByte };

struct Case {
    const char* files; // space-separated
    int status;
    Check check;
    const char* why;
};

// gdk-pixbuf-large.png (25200x33300 RGB) is left out: it needs a 3.4 GB inflate buffer, which
// gives status 1 on most machines and hours of paging on the others.
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
    {"pillow-i_trns.png", 3, kNone, "16-bit grey"},
    {"pillow-icc_profile.png", 0, kPixels, "iCCP skipped"},
    {"pillow-l_trns.png", 0, kPixels, "grey with tRNS"},
    {"pillow-mode_16bit.png", 0, kHighByte, "16-bit RGBA APNG: high bytes of the default image"},
    {"pillow-p_16.png", 0, kPixels, "palette"},
    {"pillow-p_trns_single.png", 0, kPixels, "palette with one transparent entry"},
    {"pillow-padded_idat.png", 0, kPixels, "IDAT with padding after the stream"},
    {"pillow-pil123p.png pillow-pil123rgba.png", 3, kNone, "interlaced"},
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

} // namespace

TEST(PngCorpus, FilesOfOtherTestSuites) {
    const std::string dir = corpus_dir();
    if (dir.empty()) GTEST_SKIP() << "shared corpus not found beside the project";
    for (const Case& c : k_files)
        for (const std::string& file : names_of(c.files)) {
            SCOPED_TRACE(file + ": " + c.why);
            test_reset_core();
            int list = 0;
            ASSERT_EQ(test_load_file(dir + "/png/" + file, &list), c.status);
            if (c.check == kNone) continue;
            std::vector<Image*> pages = test_pages(list);
            ASSERT_EQ(pages.size(), 1u);
            expect_page_near(pages[0], corpus_ref_dir() + "/png/" + file + ".pam",
                             c.check == kHighByte ? 1 : 0);
        }
}
