// X pixmap, PCX, Sun and Targa files written by public encoders (netpbm, ImageMagick, Pillow)
// in every variant the decoders read, each compared pixel for pixel with an independent
// decoder's reading of the same file. Cases whose tools are missing are skipped and named.
#include "corpus_diff.h"

#include <cstdlib>
#include <unistd.h>

namespace {

const char* const k_python =
    "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open('{src}'); ";

struct Made {
    const char* what;
    const char* encode;    // writes {out}
    const char* reference; // reads {out} (the last word when not named), writes a PNM
    int name_index;        // format name the page must report
};

const Made k_made[] = {
    // X pixmap, read back by netpbm
    {"XPM, 1 character per pixel", "ppmtoxpm -name a {q16}", "xpmtoppm", 16},
    {"XPM, 2 characters per pixel", "ppmtoxpm -name a {q200}", "xpmtoppm", 16},
    {"XPM, 12-digit colours", "pamdepth 65535 {q16} | ppmtoxpm -name a", "xpmtoppm", 16},
    {"XPM, X11 colour names", "ppmtoxpm -name a -rgb /usr/share/X11/rgb.txt {named}", "xpmtoppm",
     16},
    {"XPM by ImageMagick", "/usr/bin/convert {q16} xpm:-", "sed 's/const //' {out} | xpmtoppm", 16},
    // PCX, read back by netpbm
    {"PCX, 1 bit", "ppmtopcx {mono}", "pcxtoppm", 26},
    {"PCX, 1 bit x 2 planes", "ppmtopcx {q4}", "pcxtoppm", 26},
    {"PCX, 1 bit x 4 planes", "ppmtopcx {q16}", "pcxtoppm", 26},
    {"PCX, 2 bits packed", "ppmtopcx -packed {q4}", "pcxtoppm", 26},
    {"PCX, 4 bits packed", "ppmtopcx -packed {q16}", "pcxtoppm", 26},
    {"PCX, 8-bit palette", "ppmtopcx -8bit {q200}", "pcxtoppm", 26},
    {"PCX, 24 bits as 3 planes", "ppmtopcx -24bit {src}", "pcxtoppm", 26},
    {"PCX by ImageMagick, 3 planes", "/usr/bin/convert {src} pcx:-", "pcxtoppm", 26},
    {"PCX by ImageMagick, 4 planes with alpha",
     "/usr/bin/convert {src} -alpha on -channel A -evaluate set 50% pcx:-",
     "/usr/bin/convert pcx:{out} -alpha off ppm:-", 26}, // pcxtoppm would blend the alpha in
    {"PCX by Pillow, 1 bit", "im.convert('1').save(sys.stdout.buffer, 'PCX')", "pcxtoppm", 26},
    {"PCX by Pillow, grey", "im.convert('L').save(sys.stdout.buffer, 'PCX')", "pcxtoppm", 26},
    {"PCX by Pillow, palette", "im.convert('P').save(sys.stdout.buffer, 'PCX')", "pcxtoppm", 26},
    // Sun Rasterfile, read back by netpbm
    {"Sun, 1 bit, byte-encoded", "pnmtorast {pbm}", "rasttopnm", 28},
    {"Sun, 1 bit", "pnmtorast -standard {pbm}", "rasttopnm", 28},
    {"Sun, 8-bit grey, byte-encoded", "pnmtorast {grey}", "rasttopnm", 28},
    {"Sun, 8-bit colour map", "pnmtorast -standard {q16}", "rasttopnm", 28},
    {"Sun, 8-bit colour map, byte-encoded", "pnmtorast {q16}", "rasttopnm", 28},
    {"Sun, 24 bits, standard (BGR)", "pnmtorast {src}", "rasttopnm", 28},
    {"Sun by ImageMagick, 24 bits, RGB type", "/usr/bin/convert {src} sun:-", "rasttopnm", 28},
    {"Sun by ImageMagick, 32 bits",
     "/usr/bin/convert {src} -alpha on -channel A -evaluate set 50% sun:-", "rasttopnm", 28},
    {"Sun by ImageMagick, colour map", "/usr/bin/convert {q16} -type Palette sun:-", "rasttopnm",
     28},
    // Targa, read back by netpbm
    {"Targa, grey, run-length", "pamtotga {grey}", "tgatoppm", 29},
    {"Targa, grey", "pamtotga -norle {grey}", "tgatoppm", 29},
    {"Targa, colour map, run-length", "pamtotga -cmap {q16}", "tgatoppm", 29},
    {"Targa, colour map", "pamtotga -cmap -norle {q16}", "tgatoppm", 29},
    {"Targa, 24 bits, run-length", "pamtotga -rgb {src}", "tgatoppm", 29},
    {"Targa, 24 bits", "pamtotga -rgb -norle {src}", "tgatoppm", 29},
    {"Targa by ImageMagick, 24 bits", "/usr/bin/convert {src} tga:-", "tgatoppm", 29},
    {"Targa by ImageMagick, run-length", "/usr/bin/convert {src} -compress RLE tga:-", "tgatoppm",
     29},
    {"Targa by ImageMagick, colour map", "/usr/bin/convert {q16} -type Palette tga:-", "tgatoppm",
     29},
    {"Targa by ImageMagick, 32 bits with alpha",
     "/usr/bin/convert {src} -alpha on -channel A -evaluate set 50% tga:-", "tgatoppm", 29},
    {"Targa by Pillow, top-left, run-length",
     "im.save(sys.stdout.buffer, 'TGA', compression='tga_rle', orientation=1)", "tgatoppm", 29},
    {"Targa by Pillow, grey, bottom-left", "im.convert('L').save(sys.stdout.buffer, 'TGA')",
     "tgatoppm", 29},
    {"Targa by Pillow, palette, run-length",
     "im.convert('P').save(sys.stdout.buffer, 'TGA', compression='tga_rle')", "tgatoppm", 29},
    {"Targa by Pillow, RGBA, top-left",
     "im.convert('RGBA').save(sys.stdout.buffer, 'TGA', orientation=1)", "tgatoppm", 29},
};

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// Writes a binary PNM of the given magic; value(x, y, channel) gives each sample.
template <class F>
std::string write_pnm(const std::string& name, const char* magic, int channels, F value) {
    const int w = 37, h = 23; // odd: rows end inside a byte and need padding in every format
    std::string s = std::string(magic) + "\n37 23\n" + (channels ? "255\n" : "");
    for (int y = 0; y < h; y++) {
        if (!channels) { // one bit per pixel, 1 black
            for (int x = 0; x < w; x += 8) {
                int byte = 0;
                for (int b = 0; b < 8 && x + b < w; b++) byte |= value(x + b, y, 0) << (7 - b);
                s += static_cast<char>(byte);
            }
            continue;
        }
        for (int x = 0; x < w; x++)
            for (int c = 0; c < channels; c++) s += static_cast<char>(value(x, y, c));
    }
    return test_write_file(name, s);
}

// Sources: smooth colour with noise, and the same few-colour pictures an encoder gets when it
// must write a palette or planes.
std::string source(const std::string& key) {
    auto smooth = [](int x, int y, int c) {
        return (x * 7 + y * 11 * (c + 1) + ((x * 31 + y * 17 + c * 5) % 13) * 3) & 255;
    };
    auto from_palette = [](int colours) {
        return [colours](int x, int y, int c) {
            int i = (x * 5 + y * 3 + (x * y) % 7) % colours;
            return (i * (37 + 40 * c) + 20 * c) & 255;
        };
    };
    if (key == "src") return write_pnm("src.ppm", "P6", 3, smooth);
    if (key == "q4") return write_pnm("q4.ppm", "P6", 3, from_palette(4));
    if (key == "q16") return write_pnm("q16.ppm", "P6", 3, from_palette(16));
    if (key == "q200") return write_pnm("q200.ppm", "P6", 3, from_palette(200));
    if (key == "grey") return write_pnm("grey.pgm", "P5", 1, smooth);
    if (key == "pbm")
        return write_pnm("mono.pbm", "P4", 0,
                         [](int x, int y, int) { return (x / 3 + y) % 3 == 0; });
    if (key == "mono")
        return write_pnm("mono.ppm", "P6", 3,
                         [](int x, int y, int) { return (x + y / 2) % 5 ? 255 : 0; });
    // X11 colours: red, navy, gray50, dark sea green, LightGoldenrod, snow
    static const int named[6][3] = {{255, 0, 0},     {0, 0, 128},     {127, 127, 127},
                                    {143, 188, 143}, {238, 221, 130}, {255, 250, 250}};
    return write_pnm("named.ppm", "P6", 3,
                     [](int x, int y, int c) { return named[(x + y) % 6][c]; });
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
    for (const Made& m : k_made) {
        SCOPED_TRACE(m.what);
        std::string encode = m.encode;
        bool by_pillow = encode.compare(0, 3, "im.") == 0;
        std::string reader = m.reference;
        if ((by_pillow ? !pillow : !have_tools(encode)) || !have_tools(reader)) {
            skipped += std::string(" [") + m.what + "]";
            continue;
        }
        if (by_pillow) encode = k_python + encode + "\"";
        for (const char* key : {"src", "q4", "q16", "q200", "grey", "pbm", "mono", "named"}) {
            std::string placeholder = std::string("{") + key + "}";
            if (encode.find(placeholder) != std::string::npos)
                encode = replace_all(encode, placeholder, source(key));
        }
        std::string out = test_temp_dir() + "/made.bin", ref = test_temp_dir() + "/made.ppm";
        ASSERT_EQ(std::system((encode + " > " + out + " 2>/dev/null").c_str()), 0) << encode;
        reader = reader.find("{out}") != std::string::npos ? replace_all(reader, "{out}", out)
                                                           : reader + " " + out;
        reader += " 2>/dev/null | ppmtoppm > " + ref;
        ASSERT_EQ(std::system(reader.c_str()), 0) << reader;
        LoadResult r = test_load(out);
        ASSERT_EQ(r.status, 0) << encode;
        ASSERT_TRUE(r.page);
        EXPECT_EQ(r.page->format_name_index, m.name_index);
        std::string what;
        EXPECT_EQ(compare_page(r.page, ref, &what), 0) << what;
        checked++;
    }
    if (!skipped.empty()) std::printf("tools missing, skipped:%s\n", skipped.c_str());
    if (!checked) GTEST_SKIP() << "no encoder and decoder pair installed";
}
