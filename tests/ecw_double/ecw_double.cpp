// A stand-in for the vendor's ECW decompression library, for the tests: the six functions of
// its C interface by their names, serving the raster of a picture kept in the test file.
//
// Test file: the bytes 65 02 01 and the rest of that line, directive lines, a line "raster",
// then a binary PGM (one band) or PPM (three bands) of maxval 255. Directives:
//   width N | height N | bands N   describe the file with N instead of the raster's value
//   info null | view null          succeed without giving the record or the view
//   fail OP [N]                    OP (open, info, setview, bil, bgra) fails at its Nth call on
//                                  the file in this process (the first by default)
// Like the real library it refuses a region outside the file or an output larger than the
// region, and reads past the region's last line. EcwDoubleTrace hands out (and clears) the
// calls made: a line each, with " failed" or " refused", repeats counted ("bil x20").
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#define EXPORT extern "C" __declspec(dllexport)
typedef uint8_t BOOLEAN;
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
typedef int BOOLEAN;
#endif

namespace {

// The leading fields of the library's file information record.
struct FileInfo {
    uint32_t width, height;
    uint16_t bands, compression_rate;
};

struct View {
    FileInfo info = {};
    bool info_null = false, view_null = false;
    int raster_width = 0, raster_height = 0, channels = 0;
    std::vector<uint8_t> raster;
    std::map<std::string, int> fail_at;
    std::map<std::string, int>* calls = nullptr; // of the file, over all its views
    // The last region set: bands, first and last column and row, output size, next line.
    std::vector<uint32_t> bands;
    uint32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, width = 0, height = 0, line = 0;
};

std::map<std::string, std::map<std::string, int>> s_calls; // by file, then by operation
std::string s_trace, s_last;
int s_repeats = 0;

void end_line() {
    if (s_repeats > 1) s_trace += " x" + std::to_string(s_repeats);
    if (s_repeats > 0) s_trace += "\n";
    s_repeats = 0;
}

// Records a call with its outcome and returns the result.
int trace(const std::string& call, int result, const char* why = " failed") {
    std::string line = result ? call + why : call;
    if (!s_repeats || line != s_last) {
        end_line();
        s_trace += line;
        s_last = line;
    }
    s_repeats++;
    return result;
}

bool fails(View* v, const std::string& op) {
    int n = ++(*v->calls)[op];
    auto it = v->fail_at.find(op);
    return it != v->fail_at.end() && it->second == n;
}

bool parse(const char* path, View* v) {
    std::ifstream in(path, std::ios::binary);
    std::string line, magic;
    if (!std::getline(in, line) || line.compare(0, 3, "\x65\x02\x01") != 0) return false;
    const char* const keys[3] = {"width", "height", "bands"};
    long long size[3] = {-1, -1, -1};
    while (std::getline(in, line) && line != "raster") {
        std::istringstream words(line);
        std::string key, value;
        int n = 1;
        words >> key >> value >> n;
        long long number = std::strtoll(value.c_str(), nullptr, 10);
        for (int i = 0; i < 3; i++)
            if (key == keys[i]) size[i] = number;
        if (value == "null") (key == "info" ? v->info_null : v->view_null) = true;
        if (key == "fail") v->fail_at[value] = n;
    }
    int maxval = 0;
    in >> magic >> v->raster_width >> v->raster_height >> maxval;
    in.get();
    v->channels = magic == "P5" ? 1 : 3;
    v->raster.resize(size_t(v->raster_width) * size_t(v->raster_height) * size_t(v->channels));
    in.read(reinterpret_cast<char*>(v->raster.data()), std::streamsize(v->raster.size()));
    v->info.width = uint32_t(size[0] >= 0 ? size[0] : v->raster_width);
    v->info.height = uint32_t(size[1] >= 0 ? size[1] : v->raster_height);
    v->info.bands = uint16_t(size[2] >= 0 ? size[2] : v->channels);
    return (magic == "P5" || magic == "P6") && maxval == 255 && v->raster_width > 0 &&
           v->raster_height > 0 && size_t(in.gcount()) == v->raster.size();
}

// Band of the raster at (x, y); 0 outside it or past its channels.
uint8_t sample(const View* v, uint32_t band, uint32_t x, uint32_t y) {
    uint32_t channel = v->channels == 1 ? 0 : band;
    if (x >= uint32_t(v->raster_width) || y >= uint32_t(v->raster_height) ||
        channel >= uint32_t(v->channels))
        return 0;
    return v->raster[(size_t(y) * size_t(v->raster_width) + x) * size_t(v->channels) + channel];
}

// Nearest neighbour from the region's first pixel: output i of n over first .. last.
uint32_t source_of(uint32_t first, uint32_t last, uint32_t i, uint32_t n) {
    return first + uint32_t(uint64_t(i) * (last - first + 1) / n);
}

// Reads the next line of the region: the samples of every band, one output row per band.
bool read_line(View* v, const char* op, std::vector<std::vector<uint8_t>>* out) {
    if (!v || fails(v, op) || v->line >= v->height) return false;
    uint32_t y = source_of(v->y0, v->y1, v->line++, v->height);
    out->assign(v->bands.size(), std::vector<uint8_t>(v->width));
    for (size_t b = 0; b < v->bands.size(); b++)
        for (uint32_t i = 0; i < v->width; i++)
            (*out)[b][i] = sample(v, v->bands[b], source_of(v->x0, v->x1, i, v->width), y);
    return true;
}

} // namespace

EXPORT int NCScbmOpenFileView(char* path, void** view, int (*refresh)(void*)) {
    auto* v = new View;
    v->calls = &s_calls[path ? path : ""];
    if (!path || !view || !parse(path, v) || fails(v, "open")) {
        delete v;
        return trace("open", 1);
    }
    if (v->view_null) {
        delete v;
        v = nullptr;
    }
    *view = v;
    return trace("open", 0);
}

EXPORT int NCScbmGetViewFileInfo(void* view, FileInfo** info) {
    auto* v = static_cast<View*>(view);
    if (!v || !info || fails(v, "info")) return trace("info", 1);
    *info = v->info_null ? nullptr : &v->info;
    return trace("info", 0);
}

EXPORT int NCScbmSetFileView(void* view, uint32_t band_count, uint32_t* band_list, uint32_t x0,
                             uint32_t y0, uint32_t x1, uint32_t y1, uint32_t width,
                             uint32_t height) {
    std::ostringstream call;
    call << "setview " << band_count << " " << x0 << " " << y0 << " " << x1 << " " << y1 << " "
         << width << " " << height;
    auto* v = static_cast<View*>(view);
    if (v) v->height = 0; // no lines to read until a region is taken
    bool ok = v && band_count >= 1 && band_count <= v->info.bands && band_list && x0 <= x1 &&
              y0 <= y1 && x1 < v->info.width && y1 < v->info.height && width >= 1 && height >= 1 &&
              width <= x1 - x0 + 1 && height <= y1 - y0 + 1;
    for (uint32_t b = 0; ok && b < band_count; b++) ok = band_list[b] < v->info.bands;
    if (!ok) return trace(call.str(), 1, " refused");
    if (fails(v, "setview")) return trace(call.str(), 1);
    v->bands.assign(band_list, band_list + band_count);
    v->x0 = x0, v->y0 = y0, v->x1 = x1, v->y1 = y1;
    v->width = width, v->height = height, v->line = 0;
    return trace(call.str(), 0);
}

EXPORT int NCScbmReadViewLineBIL(void* view, uint8_t** lines) {
    std::vector<std::vector<uint8_t>> bands;
    if (!lines || !read_line(static_cast<View*>(view), "bil", &bands)) return trace("bil", 1);
    for (size_t b = 0; b < bands.size(); b++)
        std::memcpy(lines[b], bands[b].data(), bands[b].size());
    return trace("bil", 0);
}

// The partial build, a library that lacks one of the six functions, leaves this one out.
#ifndef ECW_DOUBLE_PARTIAL
EXPORT int NCScbmReadViewLineBGRA(void* view, uint32_t* pixels) {
    std::vector<std::vector<uint8_t>> bands;
    if (!pixels || !read_line(static_cast<View*>(view), "bgra", &bands)) return trace("bgra", 1);
    // One band is grey; otherwise the first three are red, green and blue.
    const auto& r = bands[0];
    const auto& g = bands.size() >= 3 ? bands[1] : r;
    const auto& b = bands.size() >= 3 ? bands[2] : r;
    for (size_t i = 0; i < r.size(); i++) pixels[i] = uint32_t(b[i] | g[i] << 8 | r[i] << 16);
    return trace("bgra", 0);
}
#endif

EXPORT int NCScbmCloseFileViewEx(void* view, BOOLEAN free_cache) {
    delete static_cast<View*>(view);
    return trace("close " + std::to_string(int(free_cache)), 0);
}

// Not part of the library's interface: the calls made since the last time this was asked.
EXPORT const char* EcwDoubleTrace() {
    static std::string copy;
    end_line();
    copy.swap(s_trace);
    s_trace.clear();
    return copy.c_str();
}
