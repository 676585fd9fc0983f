// PNG decoder against the PngSuite: every file's expected status, and for accepted files the
// pixels of the reference decode (alpha dropped). Files come from the shared corpus when it is
// beside the project, and a subset is kept in tests/data/png so the test stands alone.
#include "corpus_diff.h"

#include <sys/stat.h>

namespace {

enum Check {
    kNone,     // refused: only the status is checked
    kPixels,   // the reference's RGB exactly
    kHighByte, // 16-bit colour: each sample within 1 of the reference
    kSameAs,   // the pixels of another file's reference (named in the note)
};

struct Case {
    const char* names; // PngSuite names, without "pngsuite-" and ".png", space-separated
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
    {"basi0g01 basi0g02 basi0g04 basi0g08 basi0g16 basi2c08 basi2c16 basi3p01 basi3p02 "
     "basi3p04 basi3p08 basi4a08 basi4a16 basi6a08 basi6a16 s01i3p01 s02i3p01 s09i3p02 "
     "s32i3p04 s40i3p04",
     3, kNone, "Adam7 interlaced: refused after inflating"},
    {"basn0g01", 0, kPixels, GREY_RAMP(1)},
    {"basn0g02", 0, kPixels, GREY_RAMP(2)},
    {"basn0g04", 0, kPixels, GREY_RAMP(4)},
    {"basn0g08", 0, kPixels, "8-bit grey"},
    {"basn0g16 g25n0g16 oi2n0g16 oi9n0g16 tbwn0g16", 3, kNone, "16-bit grey: refused"},
    {"basn2c08", 0, kPixels, "8-bit RGB"},
    {"basn2c16 cs3n2c16 oi4n2c16 tbbn2c16 tbgn2c16", 0, kHighByte, HIGH_BYTE("RGB")},
    {"basn3p01", 0, kPixels, "1-bit palette"},
    {"basn3p02", 0, kPixels, "2-bit palette"},
    {"basn3p04", 0, kPixels, "4-bit palette"},
    {"basn3p08", 0, kPixels, "8-bit palette"},
    {"basn4a08", 0, kPixels, "8-bit grey-alpha, alpha dropped"},
    {"basn4a16 bggn4a16", 3, kNone, "16-bit grey-alpha: refused"},
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

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Loads `dir`/pngsuite-NAME.png and checks it against the case; `refs` holds the references.
void check_case(const Case& c, const std::string& name, const std::string& dir,
                const std::string& refs) {
    SCOPED_TRACE(name + ": " + c.why);
    test_reset_core();
    int list = 0;
    int status = test_load_file(dir + "/pngsuite-" + name + ".png", &list);
    ASSERT_EQ(status, c.status);
    if (c.status != 0) return;
    std::vector<Image*> pages = test_pages(list);
    ASSERT_EQ(pages.size(), 1u);
    Image* page = pages[0];
    EXPECT_EQ(page->format_name_index, 15);
    if (c.check == kNone) return;
    std::string ref_name = c.check == kSameAs ? "basn0g08" : name;
    expect_page_near(page, refs + "/pngsuite-" + ref_name + ".png.pam",
                     c.check == kHighByte ? 1 : 0);
}

} // namespace

TEST(PngSuite, EveryFileOfTheSharedCorpus) {
    const std::string dir = corpus_dir();
    if (dir.empty()) GTEST_SKIP() << "shared corpus not found beside the project";
    int checked = 0;
    for (const Case& c : k_suite)
        for (const std::string& name : names_of(c.names)) {
            check_case(c, name, dir + "/png", corpus_ref_dir() + "/png");
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
            check_case(c, name, dir, dir + "/ref");
            checked++;
        }
    EXPECT_GE(checked, 40);
}
