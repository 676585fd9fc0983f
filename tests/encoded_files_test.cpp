// X pixmap, PCX, Sun and Targa files written by public encoders (netpbm, ImageMagick, Pillow)
// in every variant the decoders read, each compared pixel for pixel with netpbm's (or
// ImageMagick's) reading of the same file. Cases whose tools are missing are skipped and named.
#include "corpus_diff.h"

#include <cstdlib>
#include <unistd.h>

namespace {

const char* const k_python =
    "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open('{src}'); ";
#define ALPHA " -alpha on -channel A -evaluate set 50% "

// Encoder commands writing {out}; after " => ", the command reading {out} back into a PNM when
// it is not the format's reader (which gets the file as its last word).
const struct {
    int name_index; // format name the page must report
    const char* reader;
    std::vector<const char*> variants;
} k_formats[] = {
    {16,
     "xpmtoppm",
     {"ppmtoxpm -name a {q16}", "ppmtoxpm -name a {q200}",
      "pamdepth 65535 {q16} | ppmtoxpm -name a",
      "ppmtoxpm -name a -rgb /usr/share/X11/rgb.txt {named}",
      "/usr/bin/convert {q16} xpm:- => sed 's/const //' {out} | xpmtoppm"}},
    {26,
     "pcxtoppm",
     {"ppmtopcx {mono}", "ppmtopcx {q4}", "ppmtopcx {q16}", "ppmtopcx -packed {q4}",
      "ppmtopcx -packed {q16}", "ppmtopcx -8bit {q200}", "ppmtopcx -24bit {src}",
      "/usr/bin/convert {src} pcx:-",
      // pcxtoppm would blend the alpha in
      "/usr/bin/convert {src}" ALPHA "pcx:- => /usr/bin/convert pcx:{out} -alpha off ppm:-",
      "im.convert('1').save(sys.stdout.buffer, 'PCX')",
      "im.convert('L').save(sys.stdout.buffer, 'PCX')",
      "im.convert('P').save(sys.stdout.buffer, 'PCX')"}},
    {28,
     "rasttopnm",
     {"ppmtopgm {mono} | pgmtopbm -threshold | pnmtorast",
      "ppmtopgm {mono} | pgmtopbm -threshold | pnmtorast -standard", "ppmtopgm {src} | pnmtorast",
      "pnmtorast -standard {q16}", "pnmtorast {q16}", "pnmtorast {src}",
      "/usr/bin/convert {src} sun:-", "/usr/bin/convert {src}" ALPHA "sun:-",
      "/usr/bin/convert {q16} -type Palette sun:-"}},
    {29,
     "tgatoppm",
     {"ppmtopgm {src} | pamtotga", "ppmtopgm {src} | pamtotga -norle", "pamtotga -cmap {q16}",
      "pamtotga -cmap -norle {q16}", "pamtotga -rgb {src}", "pamtotga -rgb -norle {src}",
      "/usr/bin/convert {src} tga:-", "/usr/bin/convert {src} -compress RLE tga:-",
      "/usr/bin/convert {q16} -type Palette tga:-", "/usr/bin/convert {src}" ALPHA "tga:-",
      "im.save(sys.stdout.buffer, 'TGA', compression='tga_rle', orientation=1)",
      "im.convert('L').save(sys.stdout.buffer, 'TGA')",
      "im.convert('P').save(sys.stdout.buffer, 'TGA', compression='tga_rle')",
      "im.convert('RGBA').save(sys.stdout.buffer, 'TGA', orientation=1)"}},
};

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// A 37 x 23 PPM (odd sizes: rows end inside a byte and need padding in every format): smooth
// colour with noise ("src"), the few-colour pictures an encoder gets when it must write a
// palette or planes ("q4", "q16", "q200"), black and white ("mono"), and X11 colours ("named":
// red, navy, gray50, dark sea green, LightGoldenrod, snow).
std::string source(const std::string& key) {
    static const int named[6][3] = {{255, 0, 0},     {0, 0, 128},     {127, 127, 127},
                                    {143, 188, 143}, {238, 221, 130}, {255, 250, 250}};
    std::string s = "P6\n37 23\n255\n";
    for (int y = 0; y < 23; y++)
        for (int x = 0; x < 37; x++)
            for (int c = 0; c < 3; c++) {
                int i = x * 5 + y * 3 + (x * y) % 7;
                s += static_cast<char>(
                    key == "src" ? x * 7 + y * 11 * (c + 1) + ((x * 31 + y * 17 + c * 5) % 13) * 3
                    : key == "mono"  ? ((x + y / 2) % 5 ? 255 : 0)
                    : key == "named" ? named[(x + y) % 6][c]
                                     : (i % std::atoi(key.c_str() + 1)) * (37 + 40 * c) + 20 * c);
            }
    return test_write_file(key + ".ppm", s);
}

// True when every program of the command (its first word and the first after each "| ") is
// installed.
bool have_tools(const std::string& command) {
    for (size_t at = 0; at != std::string::npos;) {
        std::string tool = command.substr(at, command.find(' ', at) - at);
        if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) return false;
        at = command.find("| ", at);
        if (at != std::string::npos) at += 2;
    }
    return true;
}

} // namespace

TEST(EncodedFiles, EveryVariantMatchesAnIndependentDecoder) {
    setenv("RGBDEF", "/usr/share/X11/rgb.txt", 0); // where netpbm finds the X11 colour names
    const bool pillow = std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
    int checked = 0;
    std::string skipped;
    for (const auto& format : k_formats)
        for (const std::string variant : format.variants) {
            SCOPED_TRACE(variant);
            const size_t arrow = variant.find(" => ");
            std::string encode = variant.substr(0, arrow);
            std::string reader =
                arrow == std::string::npos ? format.reader : variant.substr(arrow + 4);
            bool by_pillow = encode.compare(0, 3, "im.") == 0;
            if ((by_pillow ? !pillow : !have_tools(encode)) || !have_tools(reader)) {
                skipped += " [" + encode + "]";
                continue;
            }
            if (by_pillow) encode = k_python + encode + "\"";
            for (const char* key : {"src", "q4", "q16", "q200", "mono", "named"})
                encode = replace_all(encode, std::string("{") + key + "}", source(key));
            std::string out = test_temp_dir() + "/made.bin", ref = test_temp_dir() + "/made.ppm";
            ASSERT_EQ(std::system((encode + " > " + out + " 2>/dev/null").c_str()), 0) << encode;
            if (reader.find("{out}") == std::string::npos) reader += " {out}";
            reader = replace_all(reader, "{out}", out);
            reader += " 2>/dev/null | ppmtoppm > " + ref;
            ASSERT_EQ(std::system(reader.c_str()), 0) << reader;
            LoadResult r = test_load(out);
            ASSERT_EQ(r.status, 0) << encode;
            EXPECT_EQ(r.page->format_name_index, format.name_index);
            expect_page_near(r.page, ref, 0);
            checked++;
        }
    if (!skipped.empty()) std::printf("tools missing, skipped:%s\n", skipped.c_str());
    if (!checked) GTEST_SKIP() << "no encoder and decoder pair installed";
}
