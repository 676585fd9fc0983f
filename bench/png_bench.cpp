// PNG decoding and inflate speed against libspng, libpng, stb_image and zlib on large images.
// Set-up writes the images once with Pillow (zlib default level, adaptive filters) into a
// temporary folder: RGB 6000x4000, palette 6000x4000 and grey 6000x4000.
#include "core/lists.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/inflate.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "core/services.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#if defined(HAVE_LIBSPNG) || defined(HAVE_SPNG)
#include <spng.h>
#define BENCH_SPNG 1
#endif
#ifdef HAVE_LIBPNG
#include <png.h>
#endif
#ifdef HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef HAVE_STB_IMAGE
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>
#endif

namespace {

const char* const k_kinds[3] = {"rgb", "palette", "grey"};
constexpr int k_width = 6000, k_height = 4000;

std::string sample_dir() {
    const char* root = std::getenv("TMPDIR");
    std::string dir = std::string(root && *root ? root : "/tmp") + "/dorvane-png-bench";
    mkdir(dir.c_str(), 0700);
    return dir;
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Path of the sample of this kind, made on first use.
std::string sample(int kind) {
    std::string path = sample_dir() + "/" + k_kinds[kind] + ".png";
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && st.st_size > 0) return path;
    std::string script = "from PIL import Image\n"
                         "w, h = " +
                         std::to_string(k_width) + ", " + std::to_string(k_height) +
                         "\n"
                         "m = Image.effect_mandelbrot((600, 400), (-2.2, -1.2, 1.0, 1.2), 256)\n"
                         "base = Image.merge('RGB', (m, m.transpose(Image.FLIP_LEFT_RIGHT),"
                         " m.transpose(Image.FLIP_TOP_BOTTOM))).resize((w, h), Image.BICUBIC)\n"
                         "noise = Image.effect_noise((w, h), 12).convert('RGB')\n"
                         "rgb = Image.blend(base, noise, 0.15)\n"
                         "kind = '" +
                         std::string(k_kinds[kind]) +
                         "'\n"
                         "img = rgb if kind == 'rgb' else rgb.convert('L') if kind == 'grey' else"
                         " rgb.quantize(256, method=Image.FASTOCTREE)\n"
                         "img.save('" +
                         path + "', compress_level=6)\n";
    std::string script_path = sample_dir() + "/make.py";
    std::ofstream(script_path) << script;
    if (std::system(("/usr/bin/python3 " + script_path).c_str()) != 0) return "";
    return path;
}

// The concatenated IDAT data of a PNG file: one zlib stream.
std::string idat_stream(const std::string& file) {
    std::string z;
    for (size_t p = 8; p + 12 <= file.size();) {
        auto u8 = [&](size_t i) { return uint32_t(uint8_t(file[i])); };
        uint32_t length = u8(p) << 24 | u8(p + 1) << 16 | u8(p + 2) << 8 | u8(p + 3);
        if (file.compare(p + 4, 4, "IDAT") == 0) z += file.substr(p + 8, length);
        p += 12 + length;
    }
    return z;
}

size_t raw_size(int kind) {
    return size_t(k_height) * (1 + size_t(k_width) * (kind == 0 ? 3 : 1));
}

void set_megapixels(benchmark::State& state) {
    state.counters["Mpx/s"] = benchmark::Counter(
        double(k_width) * k_height / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Dorvane(benchmark::State& state) {
    const std::string path = sample(int(state.range(0)));
    if (path.empty()) return state.SkipWithError("no sample image");
    obj_reset();
    image_declare_classes();
    log_set_path((sample_dir() + "/zz_bench.log").c_str());
    for (auto _ : state) {
        g_status = 0;
        int list = 0, entry = 0;
        create_file_entry(path.c_str(), &list, &entry);
        detect_format(entry);
        load_image(entry, &list, 0, 0);
        if (g_status) return state.SkipWithError(status_text());
        list_delete_members(list);
        list_destroy(list);
        obj_delete(CLS_FILE_ENTRY, entry);
    }
    set_megapixels(state);
}

#ifdef BENCH_SPNG
void BM_Libspng(benchmark::State& state) {
    const std::string path = sample(int(state.range(0)));
    if (path.empty()) return state.SkipWithError("no sample image");
    for (auto _ : state) {
        std::string file = read_file(path);
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_buffer(ctx, file.data(), file.size());
        size_t size = 0;
        spng_decoded_image_size(ctx, SPNG_FMT_PNG, &size);
        std::unique_ptr<uint8_t[]> out(new uint8_t[size]); // fresh memory, as ours gets
        if (spng_decode_image(ctx, out.get(), size, SPNG_FMT_PNG, 0))
            return state.SkipWithError("libspng failed");
        spng_ctx_free(ctx);
        benchmark::DoNotOptimize(out.get());
    }
    set_megapixels(state);
}
#endif

#ifdef HAVE_LIBPNG
struct MemoryReader {
    const std::string* file;
    size_t at;
};

void read_from_memory(png_structp png, png_bytep data, png_size_t n) {
    MemoryReader* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (r->at + n > r->file->size()) png_error(png, "short file");
    std::memcpy(data, r->file->data() + r->at, n);
    r->at += n;
}

void BM_Libpng(benchmark::State& state) {
    const std::string path = sample(int(state.range(0)));
    if (path.empty()) return state.SkipWithError("no sample image");
    for (auto _ : state) {
        std::string file = read_file(path);
        MemoryReader reader{&file, 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) return state.SkipWithError("libpng failed");
        png_set_read_fn(png, &reader, read_from_memory);
        png_read_info(png, info);
        const size_t row_bytes = png_get_rowbytes(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        std::unique_ptr<uint8_t[]> out(new uint8_t[row_bytes * height]);
        for (png_uint_32 y = 0; y < height; y++) png_read_row(png, &out[y * row_bytes], nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(out.get());
    }
    set_megapixels(state);
}
#endif

#ifdef HAVE_STB_IMAGE
void BM_StbImage(benchmark::State& state) {
    const std::string path = sample(int(state.range(0)));
    if (path.empty()) return state.SkipWithError("no sample image");
    for (auto _ : state) {
        std::string file = read_file(path);
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(file.data()),
                                                int(file.size()), &w, &h, &n, 0);
        if (!pixels) return state.SkipWithError("stb_image failed");
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    set_megapixels(state);
}
#endif

void BM_InflateDorvane(benchmark::State& state) {
    const int kind = int(state.range(0));
    const std::string path = sample(kind);
    if (path.empty()) return state.SkipWithError("no sample image");
    const std::string z = idat_stream(read_file(path));
    std::vector<uint8_t> out(raw_size(kind));
    for (auto _ : state) {
        g_status = 0;
        size_t n = inflate_zlib(reinterpret_cast<const uint8_t*>(z.data()), z.size(), out.data(),
                                out.size());
        if (g_status || n != out.size()) return state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

#ifdef HAVE_ZLIB
void BM_InflateZlib(benchmark::State& state) {
    const int kind = int(state.range(0));
    const std::string path = sample(kind);
    if (path.empty()) return state.SkipWithError("no sample image");
    const std::string z = idat_stream(read_file(path));
    std::vector<uint8_t> out(raw_size(kind));
    for (auto _ : state) {
        uLongf n = out.size();
        if (uncompress(out.data(), &n, reinterpret_cast<const Bytef*>(z.data()), z.size()) != Z_OK)
            return state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}
#endif

void kinds(benchmark::internal::Benchmark* b) {
    b->ArgName("rgb_palette_grey")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_Dorvane)->Apply(kinds);
#ifdef BENCH_SPNG
BENCHMARK(BM_Libspng)->Apply(kinds);
#endif
#ifdef HAVE_LIBPNG
BENCHMARK(BM_Libpng)->Apply(kinds);
#endif
#ifdef HAVE_STB_IMAGE
BENCHMARK(BM_StbImage)->Apply(kinds);
#endif
BENCHMARK(BM_InflateDorvane)->Apply(kinds);
#ifdef HAVE_ZLIB
BENCHMARK(BM_InflateZlib)->Apply(kinds);
#endif

BENCHMARK_MAIN();
