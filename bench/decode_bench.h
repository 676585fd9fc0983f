// Shared by the decoder benchmarks: shell commands that make the sample files, and a whole
// load of a file through detection and the load dispatch as the viewer does it.
#pragma once
#include "core/reader.h"
#include "core/registry.h"
#include "core/services.h"
#include "core/status.h"
#include "core/store.h"
#include "image/file_entry.h"
#include "image/image.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <utility>

inline bool bench_run(const std::string& command) {
    if (std::system(command.c_str()) == 0) return true;
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    return false;
}

// Makes a temporary folder holding src.ppm, a 6000 x 4000 plasma picture of 8-bit samples (a
// small plasma scaled up, so every format sees real image content). Returns the folder with a
// trailing slash, or "" when ImageMagick failed.
inline std::string bench_plasma_folder() {
    char folder[] = "/tmp/dorvane-bench-XXXXXX";
    if (!mkdtemp(folder)) return "";
    std::string d = std::string(folder) + "/";
    if (!bench_run("/usr/bin/convert -size 1200x800 plasma:fractal -seed 3 -resize 6000x4000! "
                   "-depth 8 " +
                   d + "src.ppm"))
        return "";
    return d;
}

inline void bench_reset_core() {
    rd_close_all();
    store_remove_all_swap();
    obj_reset();
    image_declare_classes();
    g_status = 0;
}

// Loads the file once per iteration and reports megapixels per second (and the pages made).
// with_detection: the whole road of a file (detection reads a PNM file whole for its
// plausibility test); without it only the decoder's own work is timed.
inline void bench_load(benchmark::State& state, const std::string& path, double megapixels,
                       const std::string& log_dir, bool with_detection = true) {
    log_set_path((log_dir + "/zz_bench.log").c_str());
    store_set_budget(2000000000LL);
    int pages = 0;
    for (auto _ : state) {
        if (!with_detection) state.PauseTiming();
        bench_reset_core();
        int list = 0, entry = 0;
        create_file_entry(path.c_str(), &list, &entry);
        detect_format(entry);
        if (!with_detection) state.ResumeTiming();
        load_image(entry, &list, 0, 0);
        if (g_status) {
            state.SkipWithError("decode failed");
            break;
        }
        pages = obj_count(CLS_IMAGE);
    }
    bench_reset_core();
    state.counters["pages"] = pages;
    state.counters["MP/s"] =
        benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}

// Registers a benchmark timed in real time and shown in milliseconds.
template <class... Args> void bench_register(const std::string& name, Args&&... args) {
    benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
