// JPEG decoder: pixels against reference decoders (djpeg, ImageMagick), files made with cjpeg
// for each sampling and scan layout, marker-level edge cases, and damaged files.
#include "corpus_diff.h"
#include "support/reference.h"

#include "core/services.h"
#include "core/store.h"

#include <cstdlib>
#include <sstream>

namespace {

// Mean difference of the samples of two pictures; 999 when their sizes differ.
double mean_difference(const Rgb& a, const Rgb& b) {
    if (rgb_differing(a, b, 255) != 0) return 999;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / double(a.pixels.size());
}

Rgb pam(const std::string& path) {
    Rgb picture;
    EXPECT_TRUE(read_pam(path, &picture)) << path;
    return rgb_of(picture);
}

std::string data(const std::string& name) {
    return test_data_dir() + "/jpeg/" + name;
}

// Corpus: every file either matches its reference or is refused with the expected status.

// ImageMagick decoding as djpeg -dct float -nosmooth does, and without libjpeg's smoothing of
// blocks whose later scans are missing.
const char* const k_magick_like_djpeg = "-define jpeg:dct-method=float -define "
                                        "jpeg:fancy-upsampling=off -define "
                                        "jpeg:block-smoothing=false";

const Expectation k_jpeg[] = {
    {"gdk-pixbuf-CVE-2017-2862.jpg libjpeg-turbo-testimgari.jpg jpeg-decoder-MR4.jpg "
     "jpeg-decoder-invalid-prediction-shift.jpg jpeg-decoder-jpeg_lossless_sel1.jpg "
     "jpeg-decoder-jpeg_lossless_sel7.jpg",
     3, "arithmetic coding, lossless"},
    {"jpeg-decoder-754664a12e36abff7950e796c906ae39.jpg "
     "jpeg-decoder-bd8cf05698aee36b82b4caf58edea442.jpg "
     "jpeg-decoder-90e46387f562ca8fa106b51dfcda1dc6.jpg gdk-pixbuf-issue205.jpg "
     "gdk-pixbuf-bug775697.jpg image-rs-oss-fuzz-36829.jpeg "
     "jpeg-decoder-missing-frame-image-1410.jpg jpeg-decoder-5482a54657765056f1a94116a8dbffe7.jpg "
     "jpeg-decoder-dc-predictor-overflow.jpg jpeg-decoder-derive-huffman-codes-overflow.jpg "
     "jpeg-decoder-ef724193653930f52acffa90e6426fd2.jpg jpeg-decoder-extraneous-data.jpg "
     "jpeg-decoder-invalid-dimensions.jpg jpeg-decoder-null_height.jpg jpeg-decoder-mjpeg.jpg "
     "pillow-hopper_bad_exif.jpg pillow-jpeg_ff00_header.jpg pillow-junk_jpeg_header.jpg "
     "pillow-truncated_app14.jpg jpeg-decoder-max_size.jpg",
     14,
     "precision 9, sizes past the file, SOS or EOI before SOF, stray bytes between "
     "segments, DC category above 16, sampling factor 0, height 0"},
    {"jpeg-decoder-missing-sof.jpg", 2, "segment runs past the end"},
    {"jpeg-decoder-subtract-with-overflow.jpg", 7, "refinement code not found"},
    // Their references keep the stored orientation: held to ImageMagick's -auto-orient.
    {"image-rs-portrait_2.jpg pillow-hopper_orientation_2.jpg pillow-hopper_orientation_6.jpg "
     "pillow-hopper_orientation_8.jpg pillow-orientation_rectangle.jpg",
     0, "Exif orientation"},
};

TEST(Jpeg, CorpusFilesMatchReferenceOrAreRefused) {
    if (corpus_dir().empty()) GTEST_SKIP() << "corpus not found beside the project";
    int compared = 0;
    for (const CorpusFile& f : corpus_files({corpus_dir(), corpus_ref_dir()}, "jpeg")) {
        SCOPED_TRACE(f.name);
        const Expectation* e = find_expectation(k_jpeg, sizeof k_jpeg / sizeof *k_jpeg, f.name);
        const std::string path = corpus_dir() + "/" + f.path;
        LoadResult l = test_load(path);
        ASSERT_EQ(l.status, e ? e->status : 0);
        // Damaged files that the reference decoder only warned about are decoded differently
        // past the damage.
        if (l.status || f.ref_status != "ok" || (e && !have_magick())) continue;
        Rgb theirs = e ? magick_rgb(path, std::string(k_magick_like_djpeg) + " -auto-orient")
                       : pam(corpus_ref_dir() + "/" + f.path + ".pam");
        // One step of Cb or Cr after the inverse DCT moves blue by 1.77: 3 at most.
        EXPECT_EQ(rgb_differing(page_rgb(l.page), theirs, 3), 0);
        EXPECT_LE(mean_difference(page_rgb(l.page), theirs), 0.1);
        ++compared;
    }
    EXPECT_GT(compared, 50);
}

// Copies in tests/data: greyscale and 12-bit (CMYK and YCCK files are the corpus's).

// 8- and 12-bit files against djpeg and DCMTK's codec (12-bit files made by
// tests/data/jpeg/make_12bit.sh): 12-bit samples are scaled to bytes; grey files get one plane
// and the identity palette; the header keeps the file's precision.
TEST(Jpeg, PrecisionsAndPlanesMatchReferences) {
    const struct {
        const char* name;
        const char* fields;
        int max;     // the 12-bit references scale by 255 / 4095, we keep the high 8 bits:
        double mean; // 0.47 apart at mid-grey
    } cases[] = {
        {"jpeg-decoder-jpg-gray.jpg", "format 3 bits 8/8 samples 1 planes 1", 1, 0.1},
        {"dcmtk-grey12.jpg", "format 3 bits 12/12 samples 1 planes 1", 3, 0.6},
        {"dcmtk-rgb12.jpg", "format 3 bits 12/12 samples 3 planes 3", 3, 0.6},
        {"dcmtk-rgb12-progressive.jpg", "format 3 bits 12/12 samples 3 planes 3", 3, 0.6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult l = test_load(data(c.name));
        ASSERT_EQ(l.status, 0);
        Rgb theirs = pam(data(std::string(c.name) + ".pam"));
        EXPECT_EQ(rgb_differing(page_rgb(l.page), theirs, c.max), 0);
        EXPECT_LE(mean_difference(page_rgb(l.page), theirs), c.mean);
        EXPECT_EQ(test_fields(l.page), c.fields);
        EXPECT_TRUE(l.page->planes == 3 || palette_is_identity(l.page));
    }
}

// Files made with cjpeg: each layout against djpeg's float decode without smoothing.

class JpegMadeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!run_command("command -v cjpeg") || !run_command("command -v djpeg"))
            GTEST_SKIP() << "cjpeg/djpeg (libjpeg-turbo-progs) not installed";
        source_ = test_source_ppm(203, 141);
    }
    std::string make(const std::string& name, const std::string& options) {
        std::string out = test_temp_dir() + "/" + name + ".jpg";
        EXPECT_TRUE(run_command("cjpeg " + options + " -outfile " + out + " " + source_))
            << options;
        return out;
    }
    // The picture of a file as djpeg decodes it.
    Rgb djpeg_rgb(const std::string& jpg) {
        std::string ref = jpg + ".ref.pnm";
        EXPECT_TRUE(run_command("djpeg -dct float -nosmooth -pnm -outfile " + ref + " " + jpg));
        return pam(ref);
    }
    std::string source_;
};

// Progressive files are decoded under a budget with room for one row of coefficients: their
// coefficient store goes to swap files and back between scans (the corpus and the Exif
// orientation test decode them without one).
TEST_F(JpegMadeTest, EverySamplingAndScanLayoutMatchesDjpeg) {
    test_write_file("apart", "0;\n1;\n2;\n");
    test_write_file("mixed", "0;\n1,2;\n");
    int n = 0;
    std::istringstream layouts(
        "-sample 2x2 -quality 85;-sample 2x1 -quality 85;-sample 1x2 -quality 85;"
        "-sample 1x1 -quality 85;-sample 4x1 -quality 85;-grayscale -quality 90;"
        "-sample 2x2 -restart 3B;-sample 1x1 -restart 1B;-sample 2x2 -optimize;"
        "-sample 2x2 -scans apart;-sample 1x1 -scans apart;-sample 2x2 -restart 2B -scans apart;"
        "-sample 2x1 -scans mixed;-progressive -sample 2x2;-progressive -sample 1x1;"
        "-progressive -sample 4x1;-progressive -sample 2x1;-progressive -grayscale;"
        "-progressive -sample 2x2 -restart 2B;-quality 100 -sample 1x1");
    for (std::string options; std::getline(layouts, options, ';');) {
        SCOPED_TRACE(options);
        if (options.find("-scans ") != std::string::npos)
            options.insert(options.find("-scans ") + 7, test_temp_dir() + "/");
        std::string made = make("layout" + std::to_string(n++), options);
        if (options.find("-progressive") == 0) store_set_budget(8192);
        LoadResult l = test_load(made);
        EXPECT_EQ(l.status, 0);
        EXPECT_EQ(l.page ? rgb_differing(page_rgb(l.page), djpeg_rgb(made), 2) : -1, 0);
        store_set_budget(600000000);
    }
}

// Quality 50 writes exactly the Annex K tables, so dropping DQT must not change the picture.
TEST_F(JpegMadeTest, FileWithoutDqtUsesAnnexKTables) {
    std::string path = make("q50", "-quality 50 -sample 2x2 -baseline");
    LoadResult with = test_load(path);
    ASSERT_EQ(with.status, 0);
    Rgb expected = page_rgb(with.page);
    // No table byte reaches 0xFF at quality 50, and entropy-coded data never holds FF DB: every
    // FF DB is a DQT marker.
    std::string stripped = test_read_file(path);
    for (size_t at; (at = stripped.find("\xFF\xDB")) != std::string::npos;)
        stripped.erase(at, 2 + (uint8_t(stripped[at + 2]) << 8 | uint8_t(stripped[at + 3])));
    LoadResult without = test_load_bytes("noqt.jpg", stripped);
    ASSERT_EQ(without.status, 0);
    EXPECT_EQ(rgb_differing(expected, page_rgb(without.page)), 0);
}

// Marker sequence and application segments, on a small baseline file.

std::string small_jpeg() {
    return test_read_file(data("zigimg-subsampling_420.jpg"));
}

std::string segment(uint8_t marker, const std::string& body) {
    size_t length = body.size() + 2;
    std::string s = {char(0xFF), char(marker), char(length >> 8), char(length & 0xFF)};
    return s + body;
}

// The file with its first APP0 replaced by `segments`.
std::string with_app_segments(const std::string& segments) {
    std::string f = small_jpeg();
    EXPECT_EQ(uint8_t(f[3]), 0xE0);
    size_t length = (uint8_t(f[4]) << 8) | uint8_t(f[5]);
    return f.substr(0, 2) + segments + f.substr(4 + length);
}

const std::string k_jfif = segment(0xE0, std::string("JFIF\0\1\2\1\0\x48\0\x48\0\0", 14));
const std::string k_exif = segment(0xE1, std::string("Exif\0\0MM\0\x2a\0\0\0\x08\0\0", 16));

int load_bytes(const std::string& bytes, Image** page = nullptr) {
    LoadResult l = test_load_bytes("case.jpg", bytes);
    if (page) *page = l.page;
    return l.status;
}

TEST(Jpeg, ApplicationSegmentsNameTheFormat) {
    const std::string spiff(
        "SPIFF\0\1\0\2\3\0\0\0\x10\0\0\0\x10\x03\x08\x05\x01\0\0\0\x60\0\0\0\x48", 30);
    const std::string icc_and_adobe = segment(0xE2, std::string("ICC_PROFILE\0\1\1", 14)) +
                                      segment(0xEE, std::string("Adobe\0\x64\0\0\0\0\1", 12));
    const struct {
        const char* what;
        std::string segments;
        int status;
        const char* format = "";
    } cases[] = {
        {"JFIF", k_jfif, 0, "JPEG format JFIF"},
        {"no JFIF, Exif or SPIFF segment", "", 0, "JPEG format JFIF"},
        {"the last of Exif and JFIF wins", k_exif + k_jfif, 0, "JPEG format JFIF"},
        {"the last of JFIF and Exif wins", k_jfif + k_exif, 0, "JPEG format Exif"},
        {"SPIFF", segment(0xE8, spiff), 0, "JPEG format SPIFF"},
        {"ICC profile and Adobe segment passed over", icc_and_adobe + k_exif, 0,
         "JPEG format Exif"},
        {"APP0 that is not JFIF", segment(0xE0, std::string("AVI1\0xxxxxxxxx", 14)), ST_BAD_DATA},
        {"APP8 that is not SPIFF", segment(0xE8, std::string("NOTSP\0xx", 8)), ST_UNKNOWN_FORMAT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Image* page = nullptr;
        ASSERT_EQ(load_bytes(with_app_segments(c.segments), &page), c.status);
        if (!c.status) {
            EXPECT_STREQ(image_format_name(page->id), c.format);
        }
    }
}

TEST(Jpeg, BrokenMarkerSequencesEndWithTheirStatus) {
    std::string f = small_jpeg();
    std::string soi = f.substr(0, 2);
    size_t sof = f.find("\xFF\xC0");
    size_t sos = f.find("\xFF\xDA");
    ASSERT_NE(sof, std::string::npos);
    ASSERT_NE(sos, std::string::npos);
    std::string tables = f.substr(2, sof - 2); // APP0, DQT
    std::string scan_and_rest = f.substr(sos);

    // No frame yet: RSTn is refused (SOS and EOI are corpus files).
    EXPECT_EQ(load_bytes(soi + tables + "\xFF\xD0" + f.substr(sof)), ST_BAD_DATA);
    // Fill bytes before a marker, between segments and after the scan, change nothing.
    Image* page = nullptr;
    ASSERT_EQ(load_bytes(f, &page), 0);
    Rgb plain = page_rgb(page);
    std::string filled = soi + "\xFF\xFF" + tables + "\xFF" + f.substr(sof, sos - sof) +
                         "\xFF\xFF\xFF" + scan_and_rest.substr(0, scan_and_rest.size() - 2) +
                         "\xFF\xFF" + f.substr(f.size() - 2);
    ASSERT_EQ(load_bytes(filled, &page), 0);
    EXPECT_EQ(rgb_differing(page_rgb(page), plain), 0);
    // A file that ends without EOI shows its scan; cut before its first block, it fails.
    ASSERT_EQ(load_bytes(f.substr(0, f.size() - 2), &page), 0);
    EXPECT_EQ(rgb_differing(page_rgb(page), plain), 0);
    EXPECT_EQ(load_bytes(f.substr(0, sos + 16)), ST_FILE);
    // A scan naming a component the frame lacks; a missing Huffman table.
    std::string bad_id = f;
    bad_id[sos + 5] = 9;
    EXPECT_EQ(load_bytes(bad_id), ST_VALUE);
    std::string bad_table = f;
    bad_table[sos + 6] = char(0x33);
    EXPECT_EQ(load_bytes(bad_table), ST_LOAD);
    // Frames of the processes not decoded log their message with the path and are refused.
    for (auto [marker, message] : {std::pair{0xC3, "JPEG Lossless Huffman non traite"},
                                   {0xC9, "JPEG Extended Sequential DCT Arithmetic non traite"},
                                   {0xCA, "JPEG Progressive DCT Arithmetic non traite"}}) {
        std::string other = f;
        other[sof + 1] = char(marker);
        std::string path = test_write_file("refused.jpg", other);
        LogCapture log;
        EXPECT_EQ(test_load(path).status, ST_UNKNOWN_FORMAT);
        EXPECT_NE(log.text.find("image " + path + " : " + message + "\n"), std::string::npos)
            << log.text;
    }
}

// Exif orientations 1 to 8, written by Pillow, turn the page as ImageMagick's -auto-orient
// turns its decode (without libjpeg's smoothing, like djpeg): baseline and progressive files,
// and files cut short, which log it. (Oriented files decoded under a small budget are the
// reader test's: every sample file against its decode without a budget.) A sequential one
// shows its MCUs before the cut and black after them; a progressive one cut in scan k shows the
// scans before it, exactly the picture of the file without scan k and what ImageMagick gives of
// that file when libjpeg's smoothing of missing scans is off.
TEST(Jpeg, ExifOrientationTurnsThePage) {
    if (!have_pillow() || !have_magick()) GTEST_SKIP() << "Pillow or ImageMagick missing";
    enum { kWhole = 0, kInData = -1, kInLastScan = 99 }; // above 0: cut in that scan
    const struct {
        const char* name;
        const char* pillow_options;
        int cut;
    } kinds[] = {
        {"baseline", "subsampling=2", kWhole},
        {"progressive", "subsampling=1, progressive=True", kWhole},
        {"cut", "subsampling=2", kInData},
        {"cut_in_scan_1", "subsampling=2, progressive=True", 1},
        {"cut_in_scan_4", "subsampling=2, progressive=True", 4},
        {"cut_in_last_scan", "subsampling=2, progressive=True", kInLastScan},
    };
    const std::string source = test_source_ppm(61, 45);
    const char* script = "import sys\n"
                         "from PIL import Image\n"
                         "im = Image.open(sys.argv[1])\n"
                         "for o in range(1, 9):\n"
                         "    exif = Image.Exif()\n"
                         "    exif[0x0112] = o\n"
                         "    im.save('%s-%d.jpg' % (sys.argv[2], o), exif=exif.tobytes(),\n"
                         "            quality=90, **eval('dict(' + sys.argv[3] + ')'))\n";
    for (const auto& kind : kinds) {
        std::string prefix = test_temp_dir() + "/oriented_" + kind.name;
        ASSERT_TRUE(run_command("/usr/bin/python3 -c \"" + std::string(script) + "\" " + source +
                                " " + prefix + " '" + kind.pillow_options + "'"));
        for (int orientation = 1; orientation <= 8; orientation++) {
            SCOPED_TRACE(std::string(kind.name) + " orientation " + std::to_string(orientation));
            std::string path = prefix + "-" + std::to_string(orientation) + ".jpg";
            std::string bytes = test_read_file(path), reference = path;
            std::vector<size_t> scans;
            for (size_t at = bytes.find("\xFF\xDA"); at != std::string::npos;
                 at = bytes.find("\xFF\xDA", at + 2))
                scans.push_back(at);
            ASSERT_GT(scans.size(), kind.cut > 0 ? 5u : 0u);
            size_t data = scans[0] + 14, scan = scans[std::min<size_t>(kind.cut, scans.size() - 1)];
            if (kind.cut == kInData) bytes = bytes.substr(0, data + (bytes.size() - data) / 2);
            if (kind.cut > 0) {
                reference = test_write_file("without.jpg", bytes.substr(0, scan) + "\xFF\xD9");
                bytes = bytes.substr(0, scan + 20);
            }
            Image* page = nullptr;
            LogCapture log;
            ASSERT_EQ(load_bytes(bytes, &page), 0);
            EXPECT_EQ(log.text.find("JPEG : fichier tronque") != std::string::npos,
                      kind.cut != kWhole);
            EXPECT_EQ(page->format_name_index, 27);
            Rgb ours = page_rgb(page);
            if (kind.cut > 0) {
                EXPECT_EQ(rgb_differing(ours, page_rgb(test_load(reference).page)), 0);
            }
            Rgb theirs = magick_rgb(reference, std::string(k_magick_like_djpeg) + " -auto-orient");
            ASSERT_EQ(ours.width, orientation >= 5 ? 45 : 61);
            // Each pixel within 2 of the reference (3 for a file short of more than its last
            // scan), or black after the cut of a sequential file.
            long black = 0;
            for (size_t i = 0; kind.cut == kInData && i < ours.pixels.size(); i += 3)
                if (!ours.pixels[i] && !ours.pixels[i + 1] && !ours.pixels[i + 2] && ++black)
                    std::fill_n(theirs.pixels.begin() + long(i), 3, 0);
            EXPECT_EQ(rgb_differing(ours, theirs, kind.cut > 0 && kind.cut != kInLastScan ? 3 : 2),
                      0);
            EXPECT_LT(black, long(ours.pixels.size() / 3));
            EXPECT_EQ(black > 0, kind.cut == kInData);
        }
    }
}

} // namespace
