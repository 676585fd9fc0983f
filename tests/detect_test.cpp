// Format detection, file entries, the load dispatch's refusals and log line, and the decode
// tool's report for files that are not images.
#include "core/services.h"
#include "support/bytes.h"
#include "support/support.h"

#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Detected {
    int kind, format, variant;
};

Detected detect_path(const std::string& path) {
    test_reset_core();
    int list = 0, id = 0;
    open_path(path.c_str(), &list, &id);
    FileEntry* e = obj_find_as<FileEntry>(CLS_FILE_ENTRY, id);
    if (!e) return {-1, -1, -1};
    return {e->kind, e->kind == KIND_UNKNOWN ? -1 : e->format_id, e->variant};
}

// The plain signatures of every format are detected in the corpus and sample tests; here the
// rows those files do not reach, and the near misses.
TEST(Detect, EverySignatureRow) {
    // 2 x 2 pixels of 24 bits: 12 bytes of pixel data; run-length; colour-mapped of 8 bits
    const std::string targa = bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0});
    const std::string rle = targa.substr(0, 2) + '\x0A' + targa.substr(3);
    const std::string mapped = targa.substr(0, 2) + '\x01' + targa.substr(3, 13) + '\x08' + '\0';
    struct Case {
        std::string bytes;
        int kind, format, variant;
    } cases[] = {
        {bytes({'M', 'M', 7, '*', 0}), 2, FMT_TIFF, 1},
        {"P1\n2 2\n0101", 2, FMT_PBM_ASCII, 0},
        {"P2 3 1 255 1 2 3", 2, FMT_PGM_ASCII, 0},
        {"P3\n1 1\n255\n1 2 3", 2, FMT_PPM_ASCII, 0},
        {bytes({0x0A, 5, 0, 8}), 2, FMT_PCX, 0},
        {bytes({0x65, 0x02, 0x01, 0}), 2, FMT_ECW, 1},
        {bytes({0, 0, 0x27, 0x0A, 1}), 3, 25, 0},
        {"QKTxxxx", 4, 27, 0},
        {"QKWxxxx", 4, 28, 0},
        {"version 2", 3, 26, 0},
        {"VERSION 2", 3, 26, 0},
        {"Version 2", 3, 26, 0},
        {"BM", 2, FMT_BMP, 0},                   // short files compare against zero padding
        {bytes({'I', 'I', '+', 0}), 200, -1, 0}, // "II*" needs the third byte exactly
        {bytes({0x0A, 5, 2, 8}), 200, -1, 0},    // PCX encoding byte neither 0 nor 1
        {"hello world", 200, -1, 0},
        {"P5\n0 10\n255\n", 200, -1, 0}, // implausible sizes
        {"P5\n10 -3\n255\n", 200, -1, 0},
        {"P5", 200, -1, 0},
        {"P2\n# a comment 0 0\n4 # another\n5\n255\n", 2, FMT_PGM_ASCII, 0},
        // X pixmaps by their opening comment
        {"  \n/*  XPM */\nstatic char* x[] = {};", 2, FMT_XPM, 0},
        {"\n\n x", 200, -1, 0}, // only non-blank byte is the last one
        {"/* not an xpm */", 200, -1, 0},
        {"", 200, -1, 0},
        // Targa, tested last: by its footer, or by a layout that accounts for the whole file
        {targa + std::string(12, 'x') + std::string(8, '\0') + "TRUEVISION-XFILE." +
             std::string(1, '\0'),
         2, FMT_TARGA, 0},
        {targa + std::string(12, 'x'), 2, FMT_TARGA, 0},
        {targa + std::string(17, 'x'), 2, FMT_TARGA, 0}, // less than a row (6 bytes) of padding
        {targa + std::string(11, 'x'), 200, -1, 0},      // a pixel short
        {targa + std::string(18, 'x'), 200, -1, 0},      // a row too long
        {rle + bytes({0x83, 1, 2, 3}), 2, FMT_TARGA, 0}, // one packet of all 4 pixels
        {rle + bytes({0x84, 1, 2, 3}), 200, -1, 0},      // the packet gives 5 pixels
        {mapped + bytes({1, 2, 3, 4}), 200, -1, 0},      // colour-mapped without a colour map
    };
    for (const Case& c : cases) {
        Detected d = detect_path(test_write_file("file.bin", c.bytes));
        EXPECT_EQ(d.kind, c.kind) << c.bytes;
        if (c.kind != 200) {
            EXPECT_EQ(d.format, c.format) << c.bytes;
            EXPECT_EQ(d.variant, c.variant) << c.bytes;
        }
    }
}

// Targa files carry no magic: detection must leave other files as they were. Random bytes (half
// of them behind a Targa header that passes the header check), text and executables here; every
// corpus file, Targa or not, is loaded to its pinned status by the corpus tests.
TEST(Detect, TargaOnlyWhenBeyondDoubt) {
    std::vector<std::string> others;
    std::mt19937 rng(2024);
    for (int i = 0; i < 200; i++) {
        std::string b(1 + rng() % 3000, '\0');
        for (char& c : b) c = static_cast<char>(rng());
        if (i % 2 && b.size() >= 18) { // passes the header check: only the layout can tell
            const int types[] = {2, 3, 10, 11}, depths[] = {8, 16, 24, 32};
            b[1] = b[5] = b[6] = b[7] = 0, b[2] = static_cast<char>(types[rng() % 4]);
            b[16] = static_cast<char>(depths[rng() % 4]), b[17] = static_cast<char>(rng() % 48);
            b[13] = b[15] = 0; // at most 255 x 255 pixels
        }
        others.push_back(test_write_file("random" + std::to_string(i) + ".bin", b));
    }
    for (auto [dir, most] : {std::pair{"/usr/bin", 100}, {"/usr/share/common-licenses", 20}}) {
        int taken = 0;
        for (const std::string& name : test_list_dir(dir)) {
            std::string path = std::string(dir) + "/" + name;
            struct stat st;
            if (taken < most && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                access(path.c_str(), R_OK) == 0)
                others.push_back(path), taken++;
        }
    }
    EXPECT_GE(others.size(), 250u);
    for (const std::string& path : others) EXPECT_NE(detect_path(path).format, FMT_TARGA) << path;
}

TEST(LoadDispatch, RefusalsAndTheLogLine) {
    test_reset_core();
    int list = 0;
    load_image(12345, &list, 0, 0);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NOT_FOUND);
    std::string text = test_write_file("notes.txt", "just text");
    int id = 0;
    open_path(text.c_str(), &list, &id);
    LogCapture log;
    load_image(id, &list, 0, 0);
    EXPECT_EQ(g_status, ST_UNKNOWN_FORMAT);
    EXPECT_EQ(log.text, ""); // kind not 2: no log line
    g_status = 0;
    // An image entry whose load fails (an ECW signature and nothing a library could open):
    // the reader's line, then the dispatch's line with the path and the long message.
    std::string ecw = test_write_file("map.ecw", bytes({0x65, 0x02, 0x01, 0, 0, 0}));
    open_path(ecw.c_str(), &list, &id);
    load_image(id, &list, 0, 0);
    EXPECT_EQ(g_status, ST_LOAD);
    std::string line =
        "Erreur chargement / Loading error \n'" + ecw + "' : " + status_text() + "\n";
    EXPECT_EQ(log.text.substr(log.text.find('\n') + 1), line);
    g_status = 0;
    // The log file gets a rule with the date, then the text.
    std::string logged = test_read_file(log_path());
    EXPECT_EQ(logged.substr(0, 31), std::string(31, '-'));
    EXPECT_NE(logged.find("\nErreur chargement / Loading error \n'" + ecw), std::string::npos);
}

TEST(LoadDispatch, PendingStatusTurnsIntoBadArguments) {
    test_reset_core();
    std::string path = test_write_file("x.gif", "GIF87a");
    g_status = ST_FILE;
    int list = 0, id = 0;
    open_path((path + ".missing").c_str(), &list, &id);
    EXPECT_EQ(g_status, ST_BAD_ARGS);
    EXPECT_EQ(id, 0);
    g_status = 0;
}

int run_tool(const std::string& args, std::string* out) {
    return test_run(std::string(DORVANE_DECODE_TOOL) + " " + args + " 2>/dev/null", out);
}

// The tool's report of a data file, a missing file and a folder (the kinds of other files are
// Detect.EverySignatureRow's).
TEST(DecodeTool, FilesThatAreNotImages) {
    std::string out;
    EXPECT_EQ(run_tool(test_write_file("data.txt", "version 1.0\n"), &out), 3);
    EXPECT_EQ(out, "kind 3\nFormat inconnu\n");
    EXPECT_EQ(run_tool(test_temp_dir() + "/missing.png", &out), 3);
    EXPECT_EQ(out, "kind 255\nFormat inconnu\n");
    EXPECT_EQ(run_tool(test_temp_dir(), &out), 3);
    EXPECT_EQ(out, "kind 1\nFormat inconnu\n");
}

TEST(LoadDispatch, FailedLoadLeavesNoImageBehind) {
    test_reset_core();
    // A BMP signature with nothing behind it: the decoder fails after the image was made.
    std::string path = test_write_file("short.bmp", "BM");
    int before = obj_count(CLS_IMAGE);
    int list = 0;
    EXPECT_NE(test_load_file(path, &list), 0);
    EXPECT_EQ(obj_count(CLS_IMAGE), before);
    EXPECT_EQ(list_count(list, CLS_IMAGE), 0);
}

} // namespace
