// Shared helpers for the tests (and the headers every test uses): a fresh core, loading files
// through the real dispatch, reading reference PAM files and turning pages into RGB.
#pragma once
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "support/pnm_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Clears the registry and status, declares the image model's classes, points the log and the
// scratch directory at a per-test temporary folder.
void test_reset_core();
// Per-process temporary directory for test files (created on first use).
std::string test_temp_dir();
std::string test_write_file(const std::string& name, const std::string& bytes);
std::string test_read_file(const std::string& path);

// Runs create_file_entry, detect_format and load_image as the viewer does. Returns the status;
// *list receives the page list (0 when none was made).
int test_load_file(const std::string& path, int* list, int* kind = nullptr);
// Pages (class 1) of a page list, in list order.
std::vector<Image*> test_pages(int list);

// A file loaded from a fresh core: its status, page list and pages.
struct LoadResult {
    int status = -1;
    int list = 0;
    int kind = 0;
    std::vector<Image*> pages;
    Image* page = nullptr; // the page when there is exactly one
};
LoadResult test_load(const std::string& path);
// Writes the bytes to a temporary file of that name first.
LoadResult test_load_bytes(const std::string& name, const std::string& bytes);
// A page's format name index and sample layout: "format F bits C/S samples N planes P" (bit
// count, bits per sample).
std::string test_fields(Image* page);
// Row y of one plane of a page.
using Row = std::vector<int>;
Row test_row(Image* page, int y, int plane = 0);
// Folder of the TIFF files that tests/data/tiff/make_tiffs.py makes with public tools (made once
// per process), each NAME.tif with its reference NAME.tif.pam; "" when a tool is missing.
std::string test_made_tiffs();
// Runs a shell command; returns its exit code (-1 when it did not exit) and, when asked, what it
// wrote to its standard output.
int test_run(const std::string& command, std::string* output = nullptr);
// Sorted names of the directory's entries that end with the suffix (dot files left out).
std::vector<std::string> test_list_dir(const std::string& dir, const std::string& suffix = "");

// Collects every log entry, each followed by a line feed, while it lives.
struct LogCapture {
    LogCapture();
    ~LogCapture();
    std::string text;
};

// 0xRRGGBB of three channels, each taken modulo 256.
inline uint32_t rgb(int r, int g, int b) {
    return uint32_t(r & 255) << 16 | uint32_t(g & 255) << 8 | uint32_t(b & 255);
}

// A page through its palette (one plane) or its three planes: 3 channels.
Rgb page_rgb(Image* page);
// Reference image reduced to 3 channels (grey expanded, alpha dropped).
Rgb rgb_of(const Rgb& ref);

// Directory of the public corpus, or "" when it is not beside the project.
std::string corpus_dir();
std::string corpus_ref_dir();
std::string test_data_dir();
// A photo-like picture (smooth gradients, hard edges, noise) written as a PPM of that size;
// returns its path.
std::string test_source_ppm(int width, int height);
