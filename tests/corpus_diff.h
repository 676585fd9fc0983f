// Differential checks against the public corpus: each file is loaded through the real
// dispatch and every page is compared pixel for pixel with the reference decode.
#pragma once
#include "support/reference.h"
#include "support/support.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

struct CorpusFile {
    std::string path;       // relative to the corpus, e.g. "bmp/x.bmp"
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

inline SampleSet public_corpus() {
    return {corpus_dir(), corpus_ref_dir()};
}
inline SampleSet bundled_samples() {
    return {test_data_dir(), test_data_dir() + "/ref"};
}

// Rows of ref-status.tsv for one folder.
inline std::vector<CorpusFile> corpus_files(const SampleSet& set, const std::string& folder) {
    std::vector<CorpusFile> out;
    std::ifstream in(set.refs_root + "/ref-status.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> cols;
        std::stringstream s(line);
        std::string col;
        while (std::getline(s, col, '\t')) cols.push_back(col);
        if (cols.size() < 4 || cols[0].compare(0, folder.size() + 1, folder + "/") != 0) continue;
        CorpusFile f;
        f.path = cols[0];
        f.name = cols[0].substr(folder.size() + 1);
        f.ref_status = cols[2];
        f.frame_refs = std::atoi(cols[3].c_str());
        out.push_back(f);
    }
    return out;
}

// Number of pixels of the page with a sample more than `tolerance` from the reference (-1:
// sizes differ or no reference); *what describes the first difference.
inline long compare_page(Image* page, const std::string& ref_path, std::string* what,
                         int tolerance = 0) {
    Rgb ref;
    if (!read_pam(ref_path, &ref)) {
        *what = "reference unreadable: " + ref_path;
        return -1;
    }
    Rgb want = rgb_of(ref);
    Rgb got = page_rgb(page);
    if (got.width != want.width || got.height != want.height) {
        std::ostringstream m;
        m << "size " << got.width << "x" << got.height << ", reference " << want.width << "x"
          << want.height;
        *what = m.str();
        return -1;
    }
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < got.pixels.size(); i += 3) {
        bool near = true;
        for (size_t c = i; c < i + 3; c++)
            near &= std::abs(int(got.pixels[c]) - int(want.pixels[c])) <= tolerance;
        if (!near) {
            if (!differing) first = i / 3;
            differing++;
        }
    }
    if (differing) {
        std::ostringstream m;
        m << differing << " of " << got.pixels.size() / 3 << " pixels differ, first at ("
          << first % got.width << "," << first / got.width << ")";
        *what = m.str();
    }
    return static_cast<long>(differing);
}

struct CorpusOutcome {
    int status = -1;
    int pages = 0;
    int references = 0;     // 0 when the reference decoder gave none
    long differing = 0;     // pixels differing over all compared pages; -1 size mismatch
    std::string difference; // first difference, for messages
};

// Loads the file and compares each page with its reference (one per page for animated GIF
// files).
inline CorpusOutcome decode_and_compare(const SampleSet& set, const CorpusFile& f) {
    CorpusOutcome o;
    test_reset_core();
    int list = 0;
    o.status = test_load_file(set.images_root + "/" + f.path, &list);
    std::vector<Image*> pages = list ? test_pages(list) : std::vector<Image*>();
    o.pages = static_cast<int>(pages.size());
    if (o.status != 0 || f.ref_status.compare(0, 2, "ok") != 0) return o;
    const std::string base = set.refs_root + "/" + f.path;
    o.references = f.frame_refs > 0 ? f.frame_refs : 1;
    for (size_t i = 0; i < pages.size() && int(i) < o.references; i++) {
        std::string what;
        long d = compare_page(
            pages[i],
            f.frame_refs > 0 ? base + ".frame" + std::to_string(i) + ".pam" : base + ".pam", &what);
        if (d && o.difference.empty()) o.difference = "page " + std::to_string(i) + ": " + what;
        if (d < 0) {
            o.differing = -1;
            break;
        }
        o.differing += d;
    }
    return o;
}

// Expectation.differing of a GIF file held to ImageMagick's frames over a white canvas, the
// canvas this viewer shows, instead of to its reference, whose canvas is the background
// colour.
constexpr long kMagickOnWhite = -2;

// Pixels of the pages that differ from ImageMagick's frames over white; -1 when the frames do
// not match the pages in number or size.
inline long differing_from_magick_on_white(const SampleSet& set, const CorpusFile& f) {
    test_reset_core();
    int list = 0;
    if (test_load_file(set.images_root + "/" + f.path, &list) != 0 || !list) return -1;
    std::vector<Image*> pages = test_pages(list);
    std::vector<Rgb> frames = magick_frames_on_white(set.images_root + "/" + f.path);
    if (frames.size() != pages.size()) return -1;
    long differing = 0;
    for (size_t i = 0; i < pages.size(); i++) {
        long d = rgb_differing(page_rgb(pages[i]), frames[i]);
        if (d < 0) return -1;
        differing += d;
    }
    return differing;
}

// What a file of the set must give when it is not simply "decodes equal to its reference".
struct Expectation {
    const char* files; // space-separated names of the files that share the entry
    int status;        // status the load ends with; -1: the file is left out
    long differing;    // pixels allowed to differ from the reference (-1: sizes differ)
    int pages;         // pages expected when they differ from the references (0: as refs)
    const char* why;
};

// The words of a space-separated list of file names.
inline std::vector<std::string> names_of(const char* list) {
    std::vector<std::string> out;
    std::istringstream s(list);
    std::string name;
    while (s >> name) out.push_back(name);
    return out;
}

inline const Expectation* find_expectation(const Expectation* table, size_t n,
                                           const std::string& name) {
    for (size_t i = 0; i < n; i++)
        for (const std::string& file : names_of(table[i].files))
            if (name == file) return &table[i];
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
        CorpusOutcome o = decode_and_compare(set, f);
        if (!e) {
            EXPECT_EQ(f.ref_status.compare(0, 2, "ok"), 0)
                << "no reference and no expectation; status " << o.status;
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.differing, 0) << o.difference;
            EXPECT_EQ(o.pages, o.references);
            continue;
        }
        EXPECT_EQ(o.status, e->status) << e->why;
        if (e->differing == kMagickOnWhite) {
            if (have_magick()) {
                EXPECT_EQ(differing_from_magick_on_white(set, f), 0) << e->why;
            }
            continue;
        }
        if (o.status != 0 || !o.references) continue;
        EXPECT_EQ(o.differing, e->differing) << e->why << "; " << o.difference;
        EXPECT_EQ(o.pages, e->pages ? e->pages : o.references) << e->why;
    }
}

// The public corpus test of a format folder, when the corpus is found.
#define SAMPLE_SET_TESTS_PUBLIC(suite, folder, table)                                              \
    TEST(suite, PublicCorpusMatchesReferences) {                                                   \
        if (corpus_dir().empty() || corpus_ref_dir().empty())                                      \
            GTEST_SKIP() << "public corpus not found beside the project";                          \
        check_sample_set(public_corpus(), folder, table, sizeof table / sizeof *table);            \
    }
// Both tests of a format folder: the bundled samples, and the public corpus.
#define SAMPLE_SET_TESTS(suite, folder, table)                                                     \
    TEST(suite, BundledSamplesMatchReferences) {                                                   \
        check_sample_set(bundled_samples(), folder, table, sizeof table / sizeof *table);          \
    }                                                                                              \
    SAMPLE_SET_TESTS_PUBLIC(suite, folder, table)

// Holds a page to the reference decode at ref_path: same size, each sample within tolerance.
inline void expect_page_near(Image* page, const std::string& ref_path, int tolerance) {
    std::string what;
    EXPECT_EQ(compare_page(page, ref_path, &what, tolerance), 0) << what;
}
