// PBM, PGM and PPM files decoded through the load dispatch and compared with reference decodes.
// Files that end with a failure status or differ on purpose are listed with the reason.
#include "corpus_diff.h"

namespace {

const Expectation k_expected[] = {
    {"gdk-pixbuf-bug775232.pnm", 1, 0, 0, "declared 10x2222222220 is past the pixel memory bound"},
    {"gdk-pixbuf-invalid.1.ppm", 2, 0, 0,
     "header token 255xxx reads as 255; the raster then ends early"},
    {"gdk-pixbuf-invalid.3.ppm", 14, 0, 0, "maxval 1000000 is above 65535"},
    {"gdk-pixbuf-invalid.4.ppm", 0, 0, 0,
     "samples above maxval are clamped to 255; the reference refuses them"},
    {"gdk-pixbuf-invalid.5.ppm", 3, 0, 0, "width 0: detection finds no image"},
    {"pillow-negative_size.ppm", 14, 0, 0, "header numbers give no usable size"},
};

} // namespace

SAMPLE_SET_TESTS(PnmCorpus, "pnm", k_expected)
