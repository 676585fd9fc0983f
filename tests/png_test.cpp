// PNG decoder on files built here chunk by chunk (chunk rules and their statuses, palettes), the
// shipped placeholder pictures, and large files of every layout written by ImageMagick.
#include "core/store.h"
#include "corpus_diff.h"
#include "support/bytes.h"

#include <tuple>

using namespace std::string_literals;

namespace {

using Bytes = std::string;

uint32_t crc32_of(const Bytes& data) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : data) {
        c ^= b;
        for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

Bytes chunk(const Bytes& name, const Bytes& data) {
    return be32(uint32_t(data.size())) + name + data + be32(crc32_of(name + data));
}

Bytes header(uint32_t width, uint32_t height, int depth, int colour, int interlace = 0) {
    return chunk("IHDR", be32(width) + be32(height) + char(depth) + char(colour) + '\0' + '\0' +
                             char(interlace));
}

// A stored DEFLATE block (of less than 64 KiB), and a zlib stream of one: these small images need
// no compression, and Adler-32 is not checked.
Bytes stored(bool final, const Bytes& data) {
    return Bytes(1, char(final)) + le16(uint32_t(data.size())) + le16(~uint32_t(data.size())) +
           data;
}
Bytes zlib_stored(const Bytes& raw) {
    return "\x78\x01" + stored(true, raw) + be32(1);
}

const Bytes k_signature = "\x89PNG\r\n\x1a\n";

// Rows given with their filter bytes.
Bytes png(const Bytes& ihdr, const Bytes& filtered_rows, const Bytes& before_idat = "",
          const Bytes& after_idat = "") {
    return k_signature + ihdr + before_idat + chunk("IDAT", zlib_stored(filtered_rows)) +
           after_idat + chunk("IEND", "");
}

LoadResult load(const Bytes& file) {
    return test_load_bytes("t.png", file);
}

// A 2x2 8-bit grey image, rows unfiltered.
Bytes grey2x2(const Bytes& before = "", const Bytes& after = "") {
    return png(header(2, 2, 8, 0), Bytes("\0\x10\x20\0\x30\x40", 6), before, after);
}

} // namespace

// What a page says of its samples; 16-bit samples keep their high byte and grey pages are 8-bit
// grey. The pixels are held to the references in the PngSuite and ImageMagick tests.
TEST(PngHeader, FieldsOfThePage) {
    const std::tuple<int, int, size_t, const char*> cases[] = {
        {1, 0, 2, "format 15 bits 1/1 samples 1 planes 1"},
        {8, 6, 5, "format 15 bits 24/8 samples 4 planes 3"},
        {16, 0, 3, "format 15 bits 8/16 samples 1 planes 1"},
        {16, 4, 5, "format 15 bits 8/16 samples 2 planes 1"},
        {16, 2, 7, "format 15 bits 42/16 samples 3 planes 3"},
        {16, 6, 9, "format 15 bits 42/16 samples 4 planes 3"},
    };
    for (auto [depth, colour, row_bytes, fields] : cases) {
        LoadResult r = load(png(header(1, 1, depth, colour), Bytes(row_bytes, '\0')));
        ASSERT_EQ(r.status, 0) << fields;
        EXPECT_EQ(test_fields(r.page), fields);
    }
}

// Chunk rules: each file loads or ends with its status. Bit depth 0, colour type 1 and
// compression method 32 are corpus files, and ancillary chunks of every kind are skipped in the
// PngSuite files. Transparency, gamma, resolution and background values change no pixel.
TEST(PngChunks, FilesEndWithTheirStatus) {
    const Bytes rows("\0\0", 2), grey_rows(6, '\0');
    auto ihdr = [](const Bytes& fields) { return chunk("IHDR", be32(1) + be32(1) + fields); };
    const struct {
        const char* what;
        Bytes file;
        int status;
    } cases[] = {
        {"width 0", png(header(0, 1, 8, 0), rows), ST_BAD_DATA},
        {"height 0", png(header(1, 0, 8, 0), rows), ST_BAD_DATA},
        {"width 2^31", png(header(0x80000000u, 1, 8, 0), rows), ST_BAD_DATA},
        {"depth 17", png(header(1, 1, 17, 0), rows), ST_BAD_DATA},
        {"grey depth 3", png(header(1, 1, 3, 0), rows), ST_BAD_DATA},
        {"RGB depth 4", png(header(1, 1, 4, 2), rows), ST_BAD_DATA},
        {"palette depth 16", png(header(1, 1, 16, 3), rows), ST_BAD_DATA},
        {"colour type 5", png(header(1, 1, 8, 5), rows), ST_BAD_DATA},
        {"colour type 7", png(header(1, 1, 8, 7), rows), ST_BAD_DATA},
        {"filter method 1", png(ihdr(Bytes("\x08\0\0\x01\0", 5)), rows), ST_BAD_DATA},
        {"IHDR of 12 bytes", png(ihdr(Bytes("\x08\0\0\0", 4)), rows), ST_BAD_DATA},
        {"IHDR of 16 bytes, the extra skipped", png(ihdr(Bytes("\x08\0\0\0\0xyz", 8)), rows), 0},
        {"unknown ancillary chunks", grey2x2(chunk("zzZz", "whatever"), chunk("tEXt", "late")), 0},
        {"unknown critical chunk", grey2x2(chunk("ZZZZ", "x")), ST_UNKNOWN_FORMAT},
        {"iEND", grey2x2(chunk("iEND", "")), 0},
        {"Iend", grey2x2(chunk("Iend", "")), ST_UNKNOWN_FORMAT},
        {"IDAT before any IHDR: no rows to go to", png("", grey_rows), ST_BAD_DATA},
        {"a second IHDR under the first one's rows", grey2x2(header(4, 4, 8, 0)), ST_BAD_DATA},
        {"PLTE of 4 bytes", grey2x2(chunk("PLTE", "abcd")), ST_BAD_DATA},
        {"grey tRNS of 1 byte", grey2x2(chunk("tRNS", "\1")), ST_BAD_DATA},
        {"grey tRNS of 2 bytes", grey2x2(chunk("tRNS", be16(40000))), 0},
        {"RGB tRNS of 2 bytes", png(header(1, 1, 8, 2), "\0\1\2\3"s, chunk("tRNS", be16(1))),
         ST_BAD_DATA},
        {"RGBA: tRNS ignored", png(header(1, 1, 8, 6), "\0\1\2\3\4"s, chunk("tRNS", be16(1))), 0},
        {"gAMA of 4 bytes", grey2x2(chunk("gAMA", be32(45455))), 0},
        {"gAMA of 3 bytes", grey2x2(chunk("gAMA", "\0\0\1")), ST_BAD_DATA},
        {"pHYs unit 2", grey2x2(chunk("pHYs", be32(100) + be32(100) + '\2')), ST_BAD_DATA},
        {"pHYs of 4 bytes", grey2x2(chunk("pHYs", be32(100))), ST_BAD_DATA},
        {"pHYs of 13 bytes", grey2x2(chunk("pHYs", be32(100) + be32(200) + "\0more"s)), 0},
        {"bKGD before IHDR", png(chunk("bKGD", be16(3)), grey_rows, header(2, 2, 8, 0)),
         ST_BAD_DATA},
        {"bKGD of 2 bytes", grey2x2(chunk("bKGD", be16(99))), 0},
        {"bKGD of 1 byte", grey2x2(chunk("bKGD", "\1")), ST_BAD_DATA},
    };
    for (const auto& c : cases) EXPECT_EQ(load(c.file).status, c.status) << c.what;
}

TEST(PngChunks, FilterTypeAbove4IsBadDataAndLogged) {
    EXPECT_EQ(load(png(header(2, 2, 8, 0), Bytes("\0\1\2\5\3\4", 6))).status, ST_BAD_DATA);
    std::string log = test_read_file(test_temp_dir() + "/zz_DORV.log");
    EXPECT_NE(log.find("PNG : type de filtre 5 a la ligne 1"), std::string::npos) << log;
}

// What follows the last row in the stream still counts: a bad block is bad data, and so is
// more output than a buffer of four bytes per pixel and row (plus four) would have held.
TEST(PngChunks, StreamPastTheLastRowIsStillChecked) {
    const Bytes rows("\0\x10\x20\0\x30\x40", 6);
    auto file = [&](const Bytes& deflate) {
        return k_signature + header(2, 2, 8, 0) + chunk("IDAT", "\x78\x01" + deflate) +
               chunk("IEND", "");
    };
    EXPECT_EQ(load(file(stored(false, rows) + '\x07')).status, ST_BAD_DATA); // block type 3
    EXPECT_EQ(load(file(stored(false, rows) + stored(true, Bytes(6, 'x')))).status, 0);
    EXPECT_EQ(load(file(stored(false, rows) + stored(true, Bytes(7, 'x')))).status, ST_BAD_DATA);
    // A bad filter type is reported only when the stream itself is sound.
    LogCapture log;
    const Bytes bad_filter("\0\x10\x20\7\x30\x40", 6);
    EXPECT_EQ(load(file(stored(false, bad_filter) + '\x07')).status, ST_BAD_DATA);
    EXPECT_EQ(log.text.find("type de filtre"), std::string::npos) << log.text;
}

// A palette of 300 entries keeps 256; one before IHDR is taken as it comes.
TEST(PngPalette, PaletteLengthRules) {
    Bytes plte;
    for (int i = 0; i < 300; i++) plte += char(i), plte += char(i >> 8), plte += char(7);
    LoadResult r = load(png(header(1, 1, 8, 3), Bytes("\0\xFF", 2), chunk("PLTE", plte)));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->palette[0][255], 255);
    EXPECT_EQ(r.page->palette[1][255], 0);
    EXPECT_EQ(r.page->palette[2][255], 7);
    r = load(png(chunk("PLTE", "\x0A\x0B\x0C"), Bytes(2, '\0'), header(1, 1, 8, 3)));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->palette[2][0], 0x0C);
}

// The placeholder pictures shipped beside the executable decode to what ImageMagick sees.
TEST(PngPlaceholders, ErrorAndUnknownPicturesLoad) {
    for (const char* name : {"erreur.png", "inconnu.png"}) {
        SCOPED_TRACE(name);
        LoadResult r = test_load(test_data_dir() + "/../../assets/" + name);
        ASSERT_EQ(r.status, 0);
        ASSERT_EQ(r.pages.size(), 1u);
        expect_page_near(r.page, test_data_dir() + "/png/ref/" + name + ".pam", 0);
    }
}

// Files of a megabyte and more written by ImageMagick in the layouts the decoder knows, most of
// them interlaced, their rows filtered as the encoder chose: the rows stream through every
// boundary of the inflate buffers, and the pixels are Pillow's. The tall interlaced one is read
// under a tiny memory budget: the store puts rows on disk between the passes, and every pass must
// find the pixels of the earlier ones.
TEST(PngMadeByImageMagick, FilesOfEveryLayoutMatchPillow) {
    if (!have_pillow() || !have_magick()) GTEST_SKIP() << "ImageMagick and Pillow are needed";
    const std::string wide = test_source_ppm(1101, 713), tall = test_source_ppm(40, 15000);
    struct Case {
        const char* name;
        const char* options;
        long long budget = 0;
    } cases[] = {
        {"rgb8-adam7", "-interlace PNG PNG24:"},
        {"rgb16-adam7", "-interlace PNG PNG48:"},
        {"rgba16", "PNG64:"},
        {"grey16", "-colorspace Gray -depth 16 -define png:color-type=0 PNG:"},
        {"greyalpha16-adam7", "-colorspace Gray -alpha set -define png:color-type=4 -depth 16 "
                              "-interlace PNG PNG:"},
        {"greyalpha8-adam7", "-colorspace Gray -alpha set -define png:color-type=4 -interlace "
                             "PNG PNG:"},
        {"palette4-adam7", "-colors 16 -define png:bit-depth=4 -define png:color-type=3 "
                           "-interlace PNG PNG8:"},
        {"bilevel-adam7", "-monochrome -interlace PNG PNG:"},
        {"tall-adam7", "-interlace PNG PNG24:", 40 * 3 * 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string png = test_temp_dir() + "/im_" + c.name + ".png";
        ASSERT_TRUE(
            run_command("/usr/bin/convert " + (c.budget ? tall : wide) + " " + c.options + png));
        const long long budget = store_budget();
        if (c.budget) store_set_budget(c.budget);
        LoadResult r = test_load(png);
        store_set_budget(budget);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(rgb_differing(page_rgb(r.page), pillow_rgb(png)), 0);
    }
}
