// TIFF decoding against libtiff, on files this benchmark writes with libtiff and removes at
// exit: a 6000 x 4000 RGB photo-like picture in LZW strips of one row (whole decode, against
// TIFFReadRGBAImage), and a 10000 x 14000 Group 4 page of text-like marks in one strip (against
// libtiff's raw strip decode to 1-bit rows; ours writes 8-bit rows). The whole loads make a
// fresh page each time, as a viewer does; the *Rows cases run the decoders alone, rows into
// one reused buffer, against libtiff's strip decode into one buffer.
#include "core/registry.h"
#include "decoders/ccitt_g4.h"
#include "decoders/tiff.h"
#include "core/status.h"
#include "core/store.h"
#include "image/file_entry.h"
#include "image/image.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef HAVE_LIBTIFF_4
#include <tiffio.h>

namespace {

const std::string k_lzw_file = "/tmp/dorvane-bench-lzw-6000x4000.tif";
const std::string k_g4_file = "/tmp/dorvane-bench-g4-10000x14000.tif";

uint32_t g_seed = 12345;
uint32_t next_random() {
    g_seed = g_seed * 1103515245u + 12345u;
    return g_seed >> 8;
}

void write_lzw(const std::string& name, int w, int h) {
    TIFF* t = TIFFOpen(name.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 1);
    std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            int noise = static_cast<int>(next_random() % 9);
            row[3 * x] = static_cast<uint8_t>((x * 255 / w + noise) & 255);
            row[3 * x + 1] = static_cast<uint8_t>((y * 255 / h + noise) & 255);
            row[3 * x + 2] = static_cast<uint8_t>(((x / 64 + y / 64) * 40 + noise) & 255);
        }
        TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFClose(t);
}

// Text-like marks: lines of characters, each a few rectangles of random width and height.
void write_g4(const std::string& name, int w, int h) {
    TIFF* t = TIFFOpen(name.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, h);
    std::vector<uint8_t> row(static_cast<size_t>(w + 7) / 8);
    std::vector<int> starts, widths, tops;
    for (int y = 0; y < h; y++) {
        int band = y / 60, in_band = y % 60;
        if (in_band == 0) {
            g_seed = 777u + static_cast<uint32_t>(band);
            starts.clear(), widths.clear(), tops.clear();
            for (int x = 200 + static_cast<int>(next_random() % 50); x < w - 200;) {
                starts.push_back(x);
                widths.push_back(4 + static_cast<int>(next_random() % 20));
                tops.push_back(static_cast<int>(next_random() % 25));
                x += widths.back() + 6 + static_cast<int>(next_random() % 30);
            }
        }
        std::fill(row.begin(), row.end(), 0);
        if (band > 2 && band < h / 60 - 2 && in_band < 40)
            for (size_t i = 0; i < starts.size(); i++)
                if (in_band >= tops[i])
                    for (int x = starts[i]; x < starts[i] + widths[i]; x++)
                        row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFClose(t);
}

struct Files {
    Files() {
        write_lzw(k_lzw_file, 6000, 4000);
        write_g4(k_g4_file, 10000, 14000);
    }
    ~Files() {
        std::remove(k_lzw_file.c_str());
        std::remove(k_g4_file.c_str());
    }
};

void ensure_files() {
    static Files files;
}

// Loads through the dispatch and reads every row, which decodes every strip.
void dorvane_decode(benchmark::State& state, const std::string& file) {
    ensure_files();
    for (auto _ : state) {
        obj_reset();
        image_declare_classes();
        store_set_budget(4LL << 30);
        g_status = 0;
        int list = 0, entry = 0;
        create_file_entry(file.c_str(), &list, &entry);
        detect_format(entry);
        load_image(entry, &list, 0, 0);
        int id = 0;
        Image* page = static_cast<Image*>(obj_next(CLS_IMAGE, &id));
        if (g_status || !page) state.SkipWithError("load failed");
        for (int y = 0; page && y < page->height; y++)
            benchmark::DoNotOptimize(image_row_read(page, y, 0));
    }
    obj_reset();
}

void BM_LzwRgb6000x4000_Dorvane(benchmark::State& state) {
    dorvane_decode(state, k_lzw_file);
}

void BM_LzwRgb6000x4000_LibtiffReadRGBAImage(benchmark::State& state) {
    ensure_files();
    for (auto _ : state) {
        // A fresh image buffer for every decode, as a viewer makes one per image.
        std::vector<uint32_t> raster(6000u * 4000u);
        TIFF* t = TIFFOpen(k_lzw_file.c_str(), "r");
        TIFFReadRGBAImage(t, 6000, 4000, raster.data(), 0);
        TIFFClose(t);
        benchmark::DoNotOptimize(raster.data());
    }
}

void BM_G4Page10000x14000_Dorvane(benchmark::State& state) {
    dorvane_decode(state, k_g4_file);
}

void BM_G4Page10000x14000_LibtiffRawStrips(benchmark::State& state) {
    ensure_files();
    for (auto _ : state) {
        TIFF* t = TIFFOpen(k_g4_file.c_str(), "r");
        std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(t)));
        for (uint32_t s = 0; s < TIFFNumberOfStrips(t); s++)
            TIFFReadEncodedStrip(t, s, strip.data(), -1);
        TIFFClose(t);
        benchmark::DoNotOptimize(strip.data());
    }
}

std::vector<uint8_t> raw_strip(TIFF* t, uint32_t s) {
    std::vector<uint8_t> bytes(static_cast<size_t>(TIFFRawStripSize(t, s)));
    TIFFReadRawStrip(t, s, bytes.data(), static_cast<tmsize_t>(bytes.size()));
    return bytes;
}

void BM_LzwRgbRows_Dorvane(benchmark::State& state) {
    ensure_files();
    TIFF* t = TIFFOpen(k_lzw_file.c_str(), "r");
    std::vector<std::vector<uint8_t>> strips;
    for (uint32_t s = 0; s < TIFFNumberOfStrips(t); s++) strips.push_back(raw_strip(t, s));
    TIFFClose(t);
    std::vector<uint8_t> row(6000 * 3);
    for (auto _ : state) {
        for (std::vector<uint8_t>& strip : strips) {
            TiffFeed feed = TiffFeed();
            feed.next = strip.data();
            feed.end = strip.data() + strip.size();
            LzwDecoder* lzw = lzw_open(&feed);
            lzw_row(lzw, row.data(), static_cast<long>(row.size()));
            lzw_close(lzw);
        }
        benchmark::DoNotOptimize(row.data());
    }
}

void BM_LzwRgbRows_LibtiffEncodedStrips(benchmark::State& state) {
    ensure_files();
    for (auto _ : state) {
        TIFF* t = TIFFOpen(k_lzw_file.c_str(), "r");
        std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(t)));
        for (uint32_t s = 0; s < TIFFNumberOfStrips(t); s++)
            TIFFReadEncodedStrip(t, s, strip.data(), -1);
        TIFFClose(t);
        benchmark::DoNotOptimize(strip.data());
    }
}

void BM_G4Rows_Dorvane(benchmark::State& state) {
    ensure_files();
    TIFF* t = TIFFOpen(k_g4_file.c_str(), "r");
    std::vector<uint8_t> strip = raw_strip(t, 0);
    TIFFClose(t);
    std::vector<uint8_t> row(10000);
    for (auto _ : state) {
        TiffFeed feed = TiffFeed();
        feed.next = strip.data();
        feed.end = strip.data() + strip.size();
        G4Decoder* g4 = g4_open(&feed, 10000, false);
        for (int y = 0; y < 14000 && g4_row(g4, row.data()); y++) {
        }
        g4_close(g4);
        benchmark::DoNotOptimize(row.data());
    }
}

} // namespace

BENCHMARK(BM_LzwRgbRows_Dorvane)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LzwRgbRows_LibtiffEncodedStrips)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_G4Rows_Dorvane)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LzwRgb6000x4000_Dorvane)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LzwRgb6000x4000_LibtiffReadRGBAImage)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_G4Page10000x14000_Dorvane)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_G4Page10000x14000_LibtiffRawStrips)->Unit(benchmark::kMillisecond)->MinTime(2);
#endif

BENCHMARK_MAIN();
