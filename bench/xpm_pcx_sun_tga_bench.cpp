// Decoding speed of the X pixmap, PCX, Sun and Targa decoders on 6000 x 4000 files made by
// ImageMagick and netpbm at start-up, in the same run as the peers: stb_image for Targa, and
// the netpbm converters (and ImageMagick for PCX) run as processes writing to /dev/null, which
// counts their start-up and output too. Figures are whole loads in megapixels per second.
#include "decode_bench.h"

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <string>
#include <unistd.h>
#include <vector>

#define STBI_ONLY_TGA
#include "stb_image_quiet.h"

namespace {

constexpr double kMegapixels = 24.0; // 6000 x 4000

struct Sample {
    const char* name;
    std::string path;
    std::vector<std::string> peers; // commands taking the file as last argument
    bool stb;
};

std::string g_dir;
std::vector<Sample> g_samples;

// A plasma picture scaled up, so every format sees real image content; 256 colours for the
// palette formats, 64 for XPM (one character per pixel: xpmtoppm reads lines of at most 8192
// bytes).
void make_samples() {
    g_dir = bench_plasma_folder();
    const std::string im = "/usr/bin/convert", d = g_dir;
    bool ok = !d.empty() &&
              bench_run(im + " " + d + "src.ppm -colors 256 -depth 8 " + d + "q256.ppm") &&
              bench_run(im + " " + d + "src.ppm -colors 64 -depth 8 " + d + "q64.ppm") &&
              bench_run(im + " " + d + "src.ppm tga:" + d + "rgb.tga") &&
              bench_run(im + " " + d + "src.ppm -compress RLE tga:" + d + "rle.tga") &&
              bench_run(im + " " + d + "src.ppm pcx:" + d + "rgb.pcx") &&
              bench_run("ppmtopcx -8bit " + d + "q256.ppm > " + d + "pal.pcx 2>/dev/null") &&
              bench_run("pnmtorast " + d + "src.ppm > " + d + "rgb.ras 2>/dev/null") &&
              bench_run("pnmtorast " + d + "q256.ppm > " + d + "rle.ras 2>/dev/null") &&
              bench_run("ppmtoxpm -name a " + d + "q64.ppm > " + d + "pal.xpm 2>/dev/null");
    if (!ok) return;
    const std::string pcxtoppm = "pcxtoppm", convert = im, raster = "rasttopnm";
    g_samples = {
        {"tga_rgb24", d + "rgb.tga", {"tgatoppm"}, true},
        {"tga_rle24", d + "rle.tga", {"tgatoppm"}, true},
        {"pcx_rgb24_rle", d + "rgb.pcx", {pcxtoppm, convert}, false},
        {"pcx_palette8_rle", d + "pal.pcx", {pcxtoppm, convert}, false},
        {"sun_rgb24", d + "rgb.ras", {raster}, false},
        {"sun_palette8_rle", d + "rle.ras", {raster}, false},
        {"xpm_64_colours", d + "pal.xpm", {"xpmtoppm", convert}, false},
    };
}

void ours(benchmark::State& state, const Sample* s) {
    bench_load(state, s->path, kMegapixels, g_dir);
}

double children_cpu_seconds() {
    rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A converter run as a process: "convert" gets the PPM coder as its output. Its processor time
// (the CPU column shows only this process's) is the child_cpu_ms counter, which a loaded
// machine disturbs less than the real time.
void peer(benchmark::State& state, const Sample* s, std::string command) {
    bool convert = command.find("convert") != std::string::npos;
    command += " " + s->path + (convert ? " ppm:/dev/null" : " > /dev/null") + " 2>/dev/null";
    double cpu = children_cpu_seconds();
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("converter failed");
            break;
        }
    state.counters["child_cpu_ms"] = benchmark::Counter((children_cpu_seconds() - cpu) * 1000,
                                                        benchmark::Counter::kAvgIterations);
    state.counters["MP/s"] =
        benchmark::Counter(kMegapixels, benchmark::Counter::kIsIterationInvariantRate);
}

#ifdef HAVE_STB_IMAGE
void stb(benchmark::State& state, const Sample* s) {
    bench_stb_file(state, s->path, kMegapixels);
}
#endif

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    make_samples();
    if (g_samples.empty()) return 1;
    for (const Sample& s : g_samples) {
        bench_register(std::string("ours/") + s.name, ours, &s);
#ifdef HAVE_STB_IMAGE
        if (s.stb) bench_register(std::string("stb/") + s.name, stb, &s);
#endif
        for (const std::string& command : s.peers) {
            std::string tool = command.substr(command.rfind('/') + 1);
            bench_register(tool + "/" + s.name, peer, &s, command);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench_run("rm -rf " + g_dir);
    return 0;
}
