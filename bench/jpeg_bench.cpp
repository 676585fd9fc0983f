// JPEG decoding speed on a 6000 x 4000 photo-like picture (baseline 4:2:0, 4:4:4, greyscale
// and progressive 4:2:0, made with cjpeg in set-up): this program's decoder against
// libjpeg-turbo (float IDCT without fancy upsampling, and its defaults) and stb_image.
// MP/s is counted on process CPU time, which stays meaningful on a busy machine.
#include "core/lists.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "image/file_entry.h"
#include "image/image.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#ifdef HAVE_LIBJPEG
#include <jpeglib.h>
#endif
#ifdef HAVE_STB_IMAGE
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb_image.h>
#endif

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

enum Variant { BASELINE_420, BASELINE_444, GREY, PROGRESSIVE_420, VARIANTS };
const char* const k_variant_name[VARIANTS] = {"baseline420", "baseline444", "grey",
                                              "progressive420"};
const char* const k_cjpeg_options[VARIANTS] = {"-quality 90 -sample 2x2", "-quality 90 -sample 1x1",
                                               "-quality 90 -grayscale",
                                               "-quality 90 -progressive -sample 2x2"};

std::string g_dir;
std::string g_path[VARIANTS];
std::string g_bytes[VARIANTS];

// Smooth shading, texture at a few scales and sensor-like noise.
void write_source(const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    f << "P6\n" << kWidth << " " << kHeight << "\n255\n";
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 4.0f);
    std::vector<unsigned char> row(static_cast<size_t>(kWidth) * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            float v[3] = {128 + 90 * std::sin(x * 0.004f + y * 0.002f) * std::cos(y * 0.003f) +
                              25 * std::sin(x * 0.05f) * std::sin(y * 0.043f),
                          128 + 80 * std::cos(x * 0.0023f - y * 0.0031f) +
                              20 * std::sin((x + y) * 0.02f),
                          128 + 70 * std::sin(y * 0.0051f) + 30 * std::cos(x * 0.031f)};
            for (int c = 0; c < 3; ++c) {
                float s = v[c] + noise(rng);
                row[x * 3 + c] = static_cast<unsigned char>(s < 0 ? 0 : s > 255 ? 255 : s);
            }
        }
        f.write(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
}

// The made files go with the process.
void remove_made_files() {
    for (const std::string& path : g_path)
        if (!path.empty()) std::remove(path.c_str());
    if (g_dir != "/tmp") rmdir(g_dir.c_str());
}

bool set_up() {
    if (!g_dir.empty()) return !g_path[0].empty();
    char tmpl[] = "/tmp/dorvane-jpeg-bench-XXXXXX";
    g_dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    std::atexit(remove_made_files);
    std::string source = g_dir + "/source.ppm";
    write_source(source);
    for (int v = 0; v < VARIANTS; ++v) {
        std::string out = g_dir + "/" + k_variant_name[v] + ".jpg";
        std::string cmd =
            std::string("cjpeg ") + k_cjpeg_options[v] + " -outfile " + out + " " + source;
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "cjpeg failed: %s\n", cmd.c_str());
            return false;
        }
        g_path[v] = out;
        std::ifstream f(out, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        g_bytes[v] = s.str();
    }
    std::remove(source.c_str());
    return true;
}

void set_rate(benchmark::State& state) {
    state.counters["MP/s"] =
        benchmark::Counter(kWidth * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Dorvane(benchmark::State& state) {
    if (!set_up()) {
        state.SkipWithError("cjpeg not available");
        return;
    }
    int v = static_cast<int>(state.range(0));
    state.SetLabel(k_variant_name[v]);
    for (auto _ : state) {
        obj_reset();
        image_declare_classes();
        g_status = 0;
        int list = 0, entry = 0;
        create_file_entry(g_path[v].c_str(), &list, &entry);
        detect_format(entry);
        load_image(entry, &list, 0, 0);
        if (g_status) {
            state.SkipWithError("decode failed");
            break;
        }
        state.PauseTiming();
        list_delete_members(list);
        rd_close_all();
        store_remove_all_swap();
        state.ResumeTiming();
    }
    set_rate(state);
}
BENCHMARK(BM_Dorvane)->DenseRange(0, VARIANTS - 1)->Unit(benchmark::kMillisecond);

#ifdef HAVE_LIBJPEG
// whole_image: the rows go to one buffer of the whole picture, made for each decode, as a
// viewer (and stb_image) must keep them; otherwise to a 16-row strip that is overwritten.
void libjpeg_decode(const std::string& bytes, bool float_plain, bool whole_image) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (float_plain) {
        cinfo.dct_method = JDCT_FLOAT;
        cinfo.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&cinfo);
    size_t row_bytes = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    size_t rows = whole_image ? cinfo.output_height : 16;
    auto* pixels = static_cast<unsigned char*>(std::malloc(row_bytes * rows));
    JSAMPROW pointers[16];
    while (pixels && cinfo.output_scanline < cinfo.output_height) {
        size_t first = whole_image ? cinfo.output_scanline : 0;
        for (size_t i = 0; i < 16; ++i) pointers[i] = pixels + ((first + i) % rows) * row_bytes;
        jpeg_read_scanlines(&cinfo, pointers, 16);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
}

void BM_LibjpegFloat(benchmark::State& state) {
    if (!set_up()) return state.SkipWithError("cjpeg not available");
    int v = static_cast<int>(state.range(0));
    state.SetLabel(k_variant_name[v]);
    for (auto _ : state) libjpeg_decode(g_bytes[v], true, false);
    set_rate(state);
}
BENCHMARK(BM_LibjpegFloat)->DenseRange(0, VARIANTS - 1)->Unit(benchmark::kMillisecond);

void BM_LibjpegFloatWholeImage(benchmark::State& state) {
    if (!set_up()) return state.SkipWithError("cjpeg not available");
    int v = static_cast<int>(state.range(0));
    state.SetLabel(k_variant_name[v]);
    for (auto _ : state) libjpeg_decode(g_bytes[v], true, true);
    set_rate(state);
}
BENCHMARK(BM_LibjpegFloatWholeImage)->DenseRange(0, VARIANTS - 1)->Unit(benchmark::kMillisecond);

void BM_LibjpegDefault(benchmark::State& state) {
    if (!set_up()) return state.SkipWithError("cjpeg not available");
    int v = static_cast<int>(state.range(0));
    state.SetLabel(k_variant_name[v]);
    for (auto _ : state) libjpeg_decode(g_bytes[v], false, false);
    set_rate(state);
}
BENCHMARK(BM_LibjpegDefault)->DenseRange(0, VARIANTS - 1)->Unit(benchmark::kMillisecond);
#endif

#ifdef HAVE_STB_IMAGE
void BM_StbImage(benchmark::State& state) {
    if (!set_up()) return state.SkipWithError("cjpeg not available");
    int v = static_cast<int>(state.range(0));
    state.SetLabel(k_variant_name[v]);
    for (auto _ : state) {
        int w, h, n;
        unsigned char* p =
            stbi_load_from_memory(reinterpret_cast<const unsigned char*>(g_bytes[v].data()),
                                  static_cast<int>(g_bytes[v].size()), &w, &h, &n, 0);
        benchmark::DoNotOptimize(p);
        stbi_image_free(p);
    }
    set_rate(state);
}
BENCHMARK(BM_StbImage)->DenseRange(0, VARIANTS - 1)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
