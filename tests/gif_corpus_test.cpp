// GIF files, every frame a page, compared with per-frame reference decodes. Our pages are built
// over whole previous pages on a white canvas, so animations whose reference composes frame
// rectangles over transparent black differ by design: those are listed with their pixel
// counts, so any other change in the output still fails.
#include "corpus_diff.h"

namespace {

const Expectation k_expected[] = {
    {"gdk-pixbuf-aero.gif", 0, 3686140, 0,
     "disposal 2 on the first page turns transparent pixels into the canvas index of the global "
     "table, shown through the local palette"},
    {"gdk-pixbuf-bug785973.gif", 1, 0, 0, "declared 65308x65386 is past the pixel memory bound"},
    {"gdk-pixbuf-dispose-restore-background.gif", 0, 12, 0,
     "uncovered canvas is white (nearest white entry), the reference leaves it black; disposal 2 "
     "clears the whole page"},
    {"gdk-pixbuf-dispose-restore-previous.gif", 0, 6, 0,
     "disposal 3 (restore previous) is kept as the previous page"},
    {"gdk-pixbuf-hang_114.gif", 14, 0, 0, "code after a clear code above the end code"},
    {"gdk-pixbuf-high-color.gif", 0, 3072, 0,
     "canvas index is the white appended to the empty global table, shown through each local "
     "palette"},
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
    {"gdk-pixbuf-invalid.1.gif", 1, 0, 0, "declared 46565x23539 is past the pixel memory bound"},
    {"gdk-pixbuf-invalid.4.gif", 14, 0, 0, "new code other than last assigned + 1"},
    {"gdk-pixbuf-max-size.gif", 1, 0, 0, "declared 65535x65535 is past the pixel memory bound"},
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
    {"image-rs-mixed-disposal.gif", 0, 1186, 0,
     "first page keeps transparent pixels as their index; disposal applies to whole pages"},
    {"image-rs-zero-loop-count.gif", 14, 0, 0, "garbage byte after the logical screen"},
    {"pillow-background_outside_palette.gif "
     "pillow-no_palette_with_transparency_after_rgb.gif",
     0, 0, 2, "every image is a page; the reference stopped after its first frame"},
    {"pillow-dispose_bgnd.gif", 0, 32438, 0,
     "disposal 2 clears the whole page to white, the reference clears the frame rectangle to "
     "transparent black"},
    {"pillow-dispose_bgnd_transparency.gif", 0, 6906, 0,
     "first page keeps transparent pixels as their index; disposal 2 uses the white canvas"},
    {"pillow-dispose_prev.gif", 0, 35872, 0,
     "disposal 3 is kept as the previous page; first page transparency kept as index"},
    {"pillow-dispose_prev_first_frame.gif", 0, 2500, 0,
     "disposal 3 is kept as the previous page; canvas white"},
    {"pillow-first_frame_transparency.gif", 0, 1250, 0,
     "first page keeps transparent pixels as their index"},
    {"pillow-iss634.gif", 0, 1941250, 0,
     "pages build on whole previous pages with the white canvas; the reference composes frame "
     "rectangles"},
    {"pillow-test_extents_transparency.gif", 14, 0, 0,
     "garbage after the image data (a second GIF header)"},
    {"pillow-zero_width.gif", 14, 0, 0, "screen and image of width 0"},
};

} // namespace

SAMPLE_SET_TESTS(GifCorpus, "gif", k_expected)
