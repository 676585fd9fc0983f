// Differential checks against sample sets: each file is loaded through the real dispatch and
// every page is compared with the reference decode.
#pragma once
#include "support/reference.h"
#include "support/support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

struct CorpusFile {
    std::string path;       // relative to the set, e.g. "bmp/x.bmp"
    std::string name;       // file name only
    std::string ref_status; // "ok...", "failed: ...", "skipped: ..."
    int frame_refs = 0;     // GIF: number of per-frame references
};

// A set of sample files: images below images_root/<format>/, references below
// refs_root/<format>/, and refs_root/ref-status.tsv saying which references exist.
struct SampleSet {
    std::string images_root;
    std::string refs_root;
};

// Rows of ref-status.tsv for one folder.
inline std::vector<CorpusFile> corpus_files(const SampleSet& set, const std::string& folder) {
    std::vector<CorpusFile> out;
    std::ifstream in(set.refs_root + "/ref-status.tsv");
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cols;
        std::stringstream s(line);
        for (std::string col; std::getline(s, col, '\t');) cols.push_back(col);
        if (cols.size() < 4 || cols[0].compare(0, folder.size() + 1, folder + "/") != 0) continue;
        out.push_back(
            {cols[0], cols[0].substr(folder.size() + 1), cols[2], std::atoi(cols[3].c_str())});
    }
    return out;
}

// Pixels of the page with a sample more than `tolerance` from the reference PAM (-1: no
// reference, or sizes differ); *what describes the difference.
inline long compare_page(Image* page, const std::string& ref_path, std::string* what,
                         int tolerance = 0) {
    Rgb ref;
    if (!read_pam(ref_path, &ref)) {
        *what = "reference unreadable: " + ref_path;
        return -1;
    }
    Rgb got = page_rgb(page), want = rgb_of(ref);
    long differing = rgb_differing(got, want, tolerance);
    int most = 0;
    for (size_t i = 0; differing > 0 && i < got.pixels.size(); i++)
        most = std::max(most, std::abs(int(got.pixels[i]) - int(want.pixels[i])));
    std::ostringstream m;
    m << differing << " pixels differ, by up to " << most << "; size " << got.width << "x"
      << got.height << ", reference " << want.width << "x" << want.height;
    *what = m.str();
    return differing;
}

// Holds a page to the reference decode at ref_path: same size, each sample within tolerance.
inline void expect_page_near(Image* page, const std::string& ref_path, int tolerance) {
    std::string what;
    EXPECT_EQ(compare_page(page, ref_path, &what, tolerance), 0) << what;
}

// Expectation.differing values that are not pixel counts.
constexpr long kSizesDiffer = -1;
// Held to ImageMagick's frames over a white canvas, the canvas this viewer shows, instead of
// to the reference (for GIF, whose canvas is the background colour).
constexpr long kMagickOnWhite = -2;
// Every image is a page where the reference stopped after the first: those that have a
// reference match it.
constexpr long kMorePages = -3;

// What a file of the set must give when it is not simply "decodes equal to its reference".
struct Expectation {
    const char* files; // space-separated names of the files that share the entry
    int status;        // status the load ends with; -1: the file is left out
    const char* why;
    long differing = 0; // pixels with a sample more than `tolerance` from the reference
    int tolerance = 0;
};

inline const Expectation* find_expectation(const Expectation* table, size_t n,
                                           const std::string& name) {
    for (size_t i = 0; i < n; i++) {
        std::istringstream s(table[i].files);
        for (std::string file; s >> file;)
            if (name == file) return &table[i];
    }
    return nullptr;
}

// Decodes every file of one format folder and holds it to its reference or to its entry in
// the expectation table. Files without a reference must be listed.
inline void check_sample_set(const SampleSet& set, const std::string& folder,
                             const Expectation* table, size_t entries) {
    std::vector<CorpusFile> files = corpus_files(set, folder);
    ASSERT_FALSE(files.empty()) << "no " << folder << " files listed in " << set.refs_root;
    for (const CorpusFile& f : files) {
        SCOPED_TRACE(f.path);
        const Expectation* e = find_expectation(table, entries, f.name);
        if (e && e->status < 0) continue; // left out, for the reason given
        const bool has_ref = f.ref_status.compare(0, 2, "ok") == 0;
        const std::string why = e ? e->why : "no expectation listed";
        EXPECT_TRUE(e || has_ref) << "no reference and no expectation";
        test_reset_core();
        int list = 0;
        const std::string image = set.images_root + "/" + f.path;
        EXPECT_EQ(test_load_file(image, &list), e ? e->status : 0) << why;
        std::vector<Image*> pages = list ? test_pages(list) : std::vector<Image*>();
        if ((e && e->status) || !has_ref) continue;
        const long expected = e ? e->differing : 0;
        if (expected == kMagickOnWhite) {
            if (!have_magick()) continue;
            std::vector<Rgb> frames = magick_frames_on_white(image);
            EXPECT_EQ(frames.size(), pages.size()) << why;
            for (size_t i = 0; i < pages.size() && i < frames.size(); i++)
                EXPECT_EQ(rgb_differing(page_rgb(pages[i]), frames[i]), 0) << why << ", page " << i;
            continue;
        }
        const size_t refs = f.frame_refs > 0 ? size_t(f.frame_refs) : 1;
        if (expected == kMorePages)
            EXPECT_GT(pages.size(), refs) << why;
        else
            EXPECT_EQ(pages.size(), refs) << why;
        long differing = 0;
        std::string first;
        for (size_t i = 0; i < pages.size() && i < refs && differing >= 0; i++) {
            std::string what, base = set.refs_root + "/" + f.path;
            long d = compare_page(pages[i],
                                  f.frame_refs > 0 ? base + ".frame" + std::to_string(i) + ".pam"
                                                   : base + ".pam",
                                  &what, e ? e->tolerance : 0);
            if (d && first.empty()) first = "page " + std::to_string(i) + ": " + what;
            differing = d < 0 ? -1 : differing + d;
        }
        EXPECT_EQ(differing, expected == kMorePages ? 0 : expected) << why << "; " << first;
    }
}

// The public corpus test of a format folder, when the corpus is found.
#define SAMPLE_SET_TESTS_PUBLIC(suite, folder, table)                                              \
    TEST(suite, PublicCorpusMatchesReferences) {                                                   \
        if (corpus_dir().empty() || corpus_ref_dir().empty())                                      \
            GTEST_SKIP() << "public corpus not found beside the project";                          \
        check_sample_set({corpus_dir(), corpus_ref_dir()}, folder, table,                          \
                         sizeof table / sizeof *table);                                            \
    }
// Both tests of a format folder: the bundled samples, and the public corpus.
#define SAMPLE_SET_TESTS(suite, folder, table)                                                     \
    TEST(suite, BundledSamplesMatchReferences) {                                                   \
        check_sample_set({test_data_dir(), test_data_dir() + "/ref"}, folder, table,               \
                         sizeof table / sizeof *table);                                            \
    }                                                                                              \
    SAMPLE_SET_TESTS_PUBLIC(suite, folder, table)
