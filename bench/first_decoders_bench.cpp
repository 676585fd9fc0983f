// Decoding speed of the BMP, PNM and GIF decoders on large files made by ImageMagick at
// start-up, next to stb_image on the same files. Each figure is a whole load: open, header,
// every row (every frame for animations), in megapixels per second.
#include "decode_bench.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#define STBI_ONLY_BMP
#define STBI_ONLY_PNM
#define STBI_ONLY_GIF
#include "stb_image_quiet.h"

namespace {

struct Sample {
    const char* name;
    std::string path;
    double megapixels; // all frames
};

std::string g_dir;
std::vector<Sample> g_samples;

// Makes the files once: a plasma picture scaled up so every format sees real image content.
void make_samples() {
    if (!g_samples.empty()) return;
    g_dir = bench_plasma_folder();
    const std::string im = "/usr/bin/convert", d = g_dir;
    bool ok =
        !d.empty() && bench_run(im + " " + d + "src.ppm -type TrueColor BMP3:" + d + "rgb24.bmp") &&
        bench_run(im + " " + d + "src.ppm -colors 256 -compress RLE BMP3:" + d + "rle8.bmp") &&
        bench_run("cp " + d + "src.ppm " + d + "rgb.ppm") &&
        bench_run(im + " " + d + "src.ppm -depth 16 " + d + "rgb16.ppm") &&
        bench_run(im + " " + d + "src.ppm -resize 4000x3000! -colors 256 " + d + "big.gif");
    std::string frames = im + " -size 400x300 plasma:fractal -resize 800x600! " + d + "frame.ppm";
    std::string anim = im + " -delay 4 -loop 0 " + d + "frame.ppm";
    for (int i = 1; i < 40; i++)
        anim +=
            " \\( -clone 0 -roll +" + std::to_string(i * 20) + "+" + std::to_string(i * 5) + " \\)";
    anim += " -colors 256 " + d + "anim.gif";
    ok = ok && bench_run(frames) && bench_run(anim);
    if (!ok) return;
    g_samples = {{"bmp_rgb24_6000x4000", d + "rgb24.bmp", 24.0},
                 {"bmp_rle8_6000x4000", d + "rle8.bmp", 24.0},
                 {"ppm_p6_6000x4000", d + "rgb.ppm", 24.0},
                 {"ppm_p6_16bit_6000x4000", d + "rgb16.ppm", 24.0},
                 {"gif_4000x3000", d + "big.gif", 12.0},
                 {"gif_anim_40x800x600", d + "anim.gif", 40 * 0.48}};
}

void ours(benchmark::State& state, const Sample* s, bool with_detection) {
    bench_load(state, s->path, s->megapixels, g_dir, with_detection);
}

#ifdef HAVE_STB_IMAGE
void stb(benchmark::State& state, const Sample* s) {
    if (std::string(s->name).find("anim") == std::string::npos)
        return bench_stb_file(state, s->path, s->megapixels);
    std::vector<unsigned char> bytes;
    if (FILE* f = std::fopen(s->path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(static_cast<size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
        std::fclose(f);
    }
    int frames = 0;
    for (auto _ : state) {
        int w = 0, h = 0, n = 0, *delays = nullptr;
        unsigned char* pixels = stbi_load_gif_from_memory(
            bytes.data(), static_cast<int>(bytes.size()), &delays, &w, &h, &frames, &n, 0);
        stbi_image_free(delays);
        if (!pixels) {
            state.SkipWithError("stb_image failed");
            break;
        }
        benchmark::DoNotOptimize(pixels[0]);
        stbi_image_free(pixels);
    }
    state.counters["pages"] = frames;
    state.counters["MP/s"] =
        benchmark::Counter(s->megapixels, benchmark::Counter::kIsIterationInvariantRate);
}
#endif

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    make_samples();
    if (g_samples.empty()) return 1;
    for (const Sample& s : g_samples) {
        bench_register(std::string("ours/") + s.name, ours, &s, true);
        bench_register(std::string("ours_decoder_only/") + s.name, ours, &s, false);
#ifdef HAVE_STB_IMAGE
        bench_register(std::string("stb/") + s.name, stb, &s);
#endif
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench_run("rm -rf " + g_dir);
    return 0;
}
