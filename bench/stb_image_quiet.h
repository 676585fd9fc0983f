// stb_image's implementation, its own warnings silenced, and its whole load of a file timed as
// the benchmarks time their own. Define the STBI_ONLY_ formats the benchmark compares against
// before including this, once per program.
#pragma once
#ifdef HAVE_STB_IMAGE
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"
#pragma GCC diagnostic pop

#include <benchmark/benchmark.h>

#include <string>

inline void bench_stb_file(benchmark::State& state, const std::string& path, double megapixels) {
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 0);
        if (!pixels) {
            state.SkipWithError("stb_image failed");
            break;
        }
        benchmark::DoNotOptimize(pixels[0]);
        stbi_image_free(pixels);
    }
    state.counters["pages"] = 1;
    state.counters["MP/s"] =
        benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}
#endif
