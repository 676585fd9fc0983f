// Hand-made X pixmap, PCX, Sun and Targa files: the refusals and the cases that neither the
// public encoders (encoded_files_test) nor the corpus and bundled samples reach (colour contexts
// and names, odd layouts, extension areas). The tokenizers X pixmaps share with the command line
// are held here by the header numbers and by the start-up tests for quoted and too long paths.
#include "support/bytes.h"
#include "support/support.h"

using namespace std::string_literals;

namespace {

struct Outcome {
    std::string what, bytes;
    int status;
    Row row0 = {}; // first row of palette indices or red samples, when it is checked
};

void expect_outcomes(const char* name, const std::vector<Outcome>& cases) {
    for (const Outcome& c : cases) {
        SCOPED_TRACE(c.what);
        LoadResult r = test_load_bytes(name, c.bytes);
        EXPECT_EQ(r.status, c.status);
        if (!c.status && r.page && !c.row0.empty()) {
            EXPECT_EQ(test_row(r.page, 0), c.row0);
        }
    }
}

std::string xpm(const std::string& header, const std::string& body) {
    return "/* XPM */\nstatic char *x[] = {\n\"" + header + "\",\n" + body + "\n};\n";
}

// PCX header: version 5, given encoding, depth, planes, size and bytes per line.
std::string pcx(int encoding, int bits, int planes, int w, int h, int bpl) {
    std::string b(128, '\0');
    b[0] = 10, b[1] = 5, b[2] = static_cast<char>(encoding), b[3] = static_cast<char>(bits);
    b.replace(8, 4, le16(w - 1) + le16(h - 1));
    b[65] = static_cast<char>(planes);
    b.replace(66, 2, le16(bpl));
    return b;
}

std::string sun(uint32_t w, uint32_t h, uint32_t depth, uint32_t type, uint32_t map_type,
                const std::string& map) {
    return be32(0x59A66A95) + be32(w) + be32(h) + be32(depth) + be32(0) + be32(type) +
           be32(map_type) + be32(static_cast<uint32_t>(map.size())) + map;
}

// Targa file with the footer that makes detection take it; `area` is the extension-area
// offset the footer gives.
std::string tga(int type, int map_length, int entry_bits, int w, int h, int depth, int descriptor,
                const std::string& rest, uint32_t area = 0, int map_first = 0) {
    std::string b = {0, static_cast<char>(map_length ? 1 : 0), static_cast<char>(type)};
    b += le16(map_first) + le16(map_length) + static_cast<char>(entry_bits) + std::string(4, 0);
    b += le16(w) + le16(h) + static_cast<char>(depth) + static_cast<char>(descriptor) + rest;
    return b + le32(area) + std::string(4, 0) + "TRUEVISION-XFILE." + '\0';
}

} // namespace

TEST(Xpm, ParserContextsNamesAndRefusals) {
    const std::string colours = "\"a c #F00 m black\",\n\"b s sym c Light Sea Green\",\n"
                                "\"c m red g4 gray37 c GREY100\",\n\"d g #000000000000 c None\",\n";
    // Every place a comment may stand, a word running into the brace, a hot spot and an
    // extension line after the rows.
    std::string full = "/* XPM */ /* a ** b */ static char*x[]={ /* h */\n\"4 2 4 1 0 0 XPMEXT\", "
                       "/* c */\n" +
                       colours + "/* p */\n\"abcd\",\n\"dcba\",\n\"XPMEXT x\"\n} ;";
    LoadResult r = test_load_bytes("full.xpm", full);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(test_fields(r.page), "format 16 bits 8/8 samples 1 planes 1");
    EXPECT_EQ(test_row(r.page, 1), (Row{3, 2, 1, 0}));
    const int rgb[4][3] = {{255, 0, 0}, {32, 178, 170}, {255, 255, 255}, {255, 255, 255}};
    for (int i = 0; i < 4; i++)
        for (int c = 0; c < 3; c++) EXPECT_EQ(r.page->palette[c][i], rgb[i][c]) << i;
    EXPECT_EQ(r.page->transparent_flag, 1);
    EXPECT_EQ(r.page->transparent[0], 3);
    // Rows longer than the decoder's read-ahead block, and rows across its end.
    std::string big = "/* XPM */ x = {\"40000 3 2 2\",\"aa c red\",\"bb c blue\"";
    std::vector<Row> rows(3);
    for (int y = 0; y < 3; y++) {
        big += ",\"";
        for (int x = 0; x < 40000; x++)
            big += (x + y) % 3 ? "aa" : "bb", rows[y].push_back((x + y) % 3 == 0);
        big += '"';
    }
    r = test_load_bytes("big.xpm", big + "};");
    ASSERT_EQ(r.status, 0);
    for (int y = 0; y < 3; y++) EXPECT_TRUE(test_row(r.page, y) == rows[y]) << y;

    expect_outcomes(
        "t.xpm",
        {
            {"unknown colour name in use", xpm("2 1 2 1", "\"a c nosuch\",\"b c red\",\"ab\""), 3},
            {"unknown colour name unused",
             xpm("2 1 2 1", "\"a c nosuch\",\"b c red\",\"bb\""),
             0,
             {1, 1}},
            {"symbolic name only", xpm("1 1 1 1", "\"a s sym\",\"a\""), 3},
            {"pixel without a key", xpm("2 1 1 1", "\"a c red\",\"az\""), 14},
            {"string before the header", "/* XPM */ \"a\" x = {\"1 1 1 1\"};", 7},
            {"two commas", xpm("1 1 1 1", ",\"a c red\",\"a\""), 14},
            {"comment closed by **/ only", "/* XPM **/ x = {\"1 1 1 1\",\"a c red\",\"a\"};", 2},
            {"no closing brace", xpm("1 1 1 1", "\"a c red\",\"a\"").substr(0, 50), 2},
            {"zero characters per pixel", xpm("1 1 1 0", "\"c red\",\"a\""), 14},
            {"zero width", xpm("0 1 1 1", "\"a c red\",\"\""), 14},
            {"15-digit colour count reads as 0, not as more than 256",
             xpm("1 1 123456789012345 1", "\"a\""), 14},
            {"signs are skipped", xpm("-2 1 1 1", "\"a c red\",\"aa\""), 0, {0, 0}},
        });
}

// An encoding byte other than 0 or 1 is not PCX: Detect.EverySignatureRow and PcxCorpus.
TEST(Pcx, RefusalsPalettesAndRuns) {
    std::string two_colours = pcx(1, 8, 1, 2, 1, 2) + "\xC2\x07"; // a run of 2
    std::string palette = std::string(1, 12) + std::string(765, '\0') + "\x10\x20\x30";
    expect_outcomes(
        "t.pcx",
        {
            {"shorter than its header", pcx(1, 8, 1, 2, 1, 2).substr(0, 100), 14},
            {"0 bits", pcx(1, 0, 1, 2, 1, 2) + "ab", 14},
            {"3 bits", pcx(1, 3, 1, 2, 1, 2) + "ab", 3},
            {"2 bits x 2 planes", pcx(1, 2, 2, 2, 1, 2) + "abab", 3},
            {"8 bits x 2 planes", pcx(1, 8, 2, 2, 1, 2) + "abab", 3},
            {"1 bit x 5 planes", pcx(1, 1, 5, 2, 1, 2) + "ababa", 3},
            {"lines shorter than the width", pcx(1, 8, 1, 4, 1, 2) + "abab", 14},
            {"data ends", pcx(1, 8, 1, 2, 2, 2) + "\xC2\x07", 14},
            {"empty run and stored bytes", pcx(1, 8, 1, 2, 1, 2) + "\xC0\x09\x05\x06", 0, {5, 6}},
            {"1 bit x 3 planes", pcx(0, 1, 3, 3, 1, 1) + "\xA0\x60\x20", 0, {1, 2, 7}},
        });
    // Monochrome shows black and white whatever the header palette holds.
    std::string mono = pcx(0, 1, 1, 8, 1, 1) + "\x0F";
    mono[16] = 0x66, mono[19] = 0x73;
    LoadResult r = test_load_bytes("mono.pcx", mono);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->palette[0][0], 0);
    EXPECT_EQ(r.page->palette[0][1], 255);
    // The 256-colour palette: right after the data, else at the end of the file, else grey.
    r = test_load_bytes("p.pcx", two_colours + "junk" + palette);
    EXPECT_EQ(r.page->palette[2][255], 0x30);
    std::string old = two_colours + palette;
    old[1] = 3;
    r = test_load_bytes("p.pcx", old);
    EXPECT_EQ(r.page->palette[2][255], 255);
}

TEST(Sun, RefusalsMapsAndRuns) {
    std::string map300 = std::string(300, '\x01') + std::string(300, '\x02') + std::string(300, 3);
    expect_outcomes(
        "t.ras",
        {
            {"type 4", sun(2, 1, 8, 4, 0, "") + "ab", 3},
            {"colour-map type 3", sun(2, 1, 8, 1, 3, "") + "ab", 3},
            {"depth 4", sun(2, 1, 4, 1, 0, "") + "ab", 3},
            {"shorter than a header", sun(2, 1, 8, 1, 0, "").substr(0, 31), 14},
            {"colour map past the end", sun(2, 1, 8, 1, 1, "abc").substr(0, 34), 14},
            {"pixel data ends", sun(2, 2, 8, 1, 0, "") + "ab", 14},
            {"colour map of less than one entry", sun(1, 1, 8, 1, 1, "ab") + "\x00\x00"s, 14},
            {"index past the colour map", sun(2, 1, 8, 1, 1, "abcdef") + "\x01\x02", 14},
            {"run crossing rows, literal 128",
             sun(3, 2, 8, 2, 0, "") + "\x80\x04\x07\x80\x00\x01\x02"s,
             0,
             {7, 7, 7}},
            {"300-entry colour map", sun(1, 1, 8, 1, 1, map300) + "\xFF\x00"s, 0, {255}},
        });
    LoadResult r = test_load_bytes("raw.ras", sun(1, 1, 8, 1, 2, "\x00\x40"s) + "\x01\x00"s);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.page->palette[1][1], 0x40); // a raw colour map is grey
}

TEST(Targa, Refusals) {
    const std::string px4 = "\x01\x02\x03\x04";
    expect_outcomes(
        "t.tga",
        {
            {"type 4", tga(4, 0, 0, 2, 2, 8, 0, px4), 3},
            {"300-entry colour map", tga(1, 300, 24, 2, 2, 8, 0, std::string(900, 0) + px4), 3},
            {"8-bit colour-map entries", tga(1, 4, 8, 2, 2, 8, 0, px4 + px4), 3},
            {"40-bit colour-map entries", tga(1, 1, 40, 2, 2, 8, 0, "12345" + px4), 14},
            {"colour map past the end", tga(1, 200, 24, 1, 1, 8, 0, "\x01"), 14},
            {"16-bit grey", tga(3, 0, 0, 1, 1, 16, 0, "12"), 3},
            {"4-bit grey", tga(3, 0, 0, 1, 1, 8, 4, "1"), 3},
            {"8-bit true colour", tga(2, 0, 0, 1, 1, 8, 0, "1"), 3},
            {"map beyond 256 entries", tga(1, 2, 24, 1, 1, 8, 0, "123456\x01", 0, 255), 3},
            {"stored pixels cut short", tga(3, 0, 0, 10, 10, 8, 0, "\x01\x02\x03"), 14},
            {"packets cut short", tga(11, 0, 0, 10, 10, 8, 0, "\x82\x05"), 14},
            {"16 bits, 1 attribute bit", tga(2, 0, 0, 1, 1, 16, 1, "\xFF\x7F"), 0, {255}},
            {"extension area's scan-line table past the end",
             tga(10, 0, 0, 1, 1, 24, 0, "\x80\x01\x02\x03" + std::string(491, 0) + "\x10\0\0"s,
                 18 + 4),
             14},
        });
}
