// A stand-in for the vendor's ECW decompression library, for the tests: the six functions of
// its C interface by their names, serving the raster of a picture kept inside the test file.
//
// Test file: the three ECW signature bytes 65 02 01 and the rest of that line, then directive
// lines, then a line "raster" followed by a binary PGM (one band) or PPM (three bands) of
// maxval 255. Directives:
//   width N | height N | bands N   report N instead of the raster's own value
//   info null                      describe the file with success but no record
//   view null                      open with success but no view
//   fail OP [N]                    OP (open, info, setview, bil, bgra) fails at its Nth call
//                                  on the file in this process (the first by default)
// Like the real library it refuses a region outside the file, or an output larger than the
// region, and reads past the region's last line. Every call is recorded in a trace that
// EcwDoubleTrace hands out (and clears): one line per call, repeats counted ("bil x20").
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The public file information record.
struct NCSFileViewFileInfo {
    uint32_t nSizeX, nSizeY;
    uint16_t nBands, nCompressionRate;
    int eCellSizeUnits;
    double fCellIncrementX, fCellIncrementY, fOriginX, fOriginY;
    const char* szDatum;
    const char* szProjection;
};

struct View {
    NCSFileViewFileInfo info = {};
    bool info_null = false, view_null = false;
    int raster_width = 0, raster_height = 0, channels = 0;
    std::vector<uint8_t> raster;
    std::map<std::string, int> fail_at;
    std::map<std::string, int>* calls; // of the file, over all its views
    // The region of the last accepted set view.
    bool set = false;
    std::vector<uint32_t> bands;
    uint32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, out_width = 0, out_height = 0, next_line = 0;
};

std::string s_trace, s_last;
int s_repeats = 0;
std::map<std::string, std::map<std::string, int>> s_calls; // by file, by operation

void flush_repeats() {
    if (s_repeats > 1) s_trace += " x" + std::to_string(s_repeats);
    if (s_repeats > 0) s_trace += "\n";
    s_repeats = 0;
}

// Records a call with its outcome and passes the result on.
int trace(const std::string& call, int result, const char* why = " failed") {
    std::string line = result ? call + why : call;
    if (s_repeats > 0 && line == s_last) {
        s_repeats++;
        return result;
    }
    flush_repeats();
    s_trace += line;
    s_last = line;
    s_repeats = 1;
    return result;
}

// Counts the call and tells whether a directive makes it fail.
bool fails(View* v, const std::string& op) {
    int n = ++(*v->calls)[op];
    auto it = v->fail_at.find(op);
    return it != v->fail_at.end() && it->second == n;
}

bool read_file(const char* path, std::string* out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->append(buffer, n);
    std::fclose(f);
    return true;
}

bool parse_raster(std::istringstream& in, View* v) {
    std::string magic;
    int maxval = 0;
    in >> magic >> v->raster_width >> v->raster_height >> maxval;
    in.get();
    if ((magic != "P5" && magic != "P6") || maxval != 255 || v->raster_width < 1 ||
        v->raster_height < 1)
        return false;
    v->channels = magic == "P5" ? 1 : 3;
    v->raster.resize(size_t(v->raster_width) * size_t(v->raster_height) * size_t(v->channels));
    in.read(reinterpret_cast<char*>(v->raster.data()), std::streamsize(v->raster.size()));
    return size_t(in.gcount()) == v->raster.size();
}

// Reads the test file.
bool parse(const std::string& bytes, View* v) {
    if (bytes.size() < 3 || std::memcmp(bytes.data(), "\x65\x02\x01", 3) != 0) return false;
    std::istringstream in(bytes);
    std::string line;
    std::getline(in, line);
    long long width = -1, height = -1, bands = -1;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, value;
        words >> key >> value;
        if (key == "raster") break;
        long long number = std::strtoll(value.c_str(), nullptr, 10);
        if (key == "width") width = number;
        if (key == "height") height = number;
        if (key == "bands") bands = number;
        if (key == "info" && value == "null") v->info_null = true;
        if (key == "view" && value == "null") v->view_null = true;
        if (key == "fail") {
            int n = 1;
            words >> n;
            v->fail_at[value] = n;
        }
    }
    if (!parse_raster(in, v)) return false;
    v->info.nSizeX = uint32_t(width >= 0 ? width : v->raster_width);
    v->info.nSizeY = uint32_t(height >= 0 ? height : v->raster_height);
    v->info.nBands = uint16_t(bands >= 0 ? bands : v->channels);
    v->info.nCompressionRate = 1;
    v->info.eCellSizeUnits = 1;
    v->info.fCellIncrementX = v->info.fCellIncrementY = 1.0;
    v->info.szDatum = v->info.szProjection = "RAW";
    return true;
}

// Band b of the raster at (x, y); 0 outside it or past its channels.
uint8_t sample(const View* v, uint32_t band, uint32_t x, uint32_t y) {
    if (x >= uint32_t(v->raster_width) || y >= uint32_t(v->raster_height)) return 0;
    uint32_t channel = v->channels == 1 ? 0 : band;
    if (channel >= uint32_t(v->channels)) return 0;
    return v->raster[(size_t(y) * size_t(v->raster_width) + x) * size_t(v->channels) + channel];
}

// Nearest neighbour from the region's first pixel: output i of n over count pixels.
uint32_t source_of(uint32_t first, uint32_t count, uint32_t i, uint32_t n) {
    return first + uint32_t(uint64_t(i) * count / n);
}

// The line the next read produces, or false when there is none to read.
bool next_row(View* v, uint32_t* y) {
    if (!v->set || v->next_line >= v->out_height) return false;
    *y = source_of(v->y0, v->y1 - v->y0 + 1, v->next_line++, v->out_height);
    return true;
}

} // namespace

EXPORT int NCScbmOpenFileView(char* path, void** view, int (*refresh)(void*)) {
    (void)refresh;
    if (!path || !view) return trace("open", 1);
    std::string bytes;
    auto* v = new View;
    v->calls = &s_calls[path];
    bool ok = read_file(path, &bytes) && parse(bytes, v);
    if (!ok || fails(v, "open")) {
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

EXPORT int NCScbmGetViewFileInfo(void* view, NCSFileViewFileInfo** info) {
    auto* v = static_cast<View*>(view);
    if (!v || !info || fails(v, "info")) return trace("info", 1);
    *info = v->info_null ? nullptr : &v->info;
    return trace("info", 0);
}

EXPORT int NCScbmSetFileView(void* view, uint32_t band_count, uint32_t* band_list, uint32_t x0,
                             uint32_t y0, uint32_t x1, uint32_t y1, uint32_t width,
                             uint32_t height) {
    std::ostringstream line;
    line << "setview " << band_count << " " << x0 << " " << y0 << " " << x1 << " " << y1 << " "
         << width << " " << height;
    auto* v = static_cast<View*>(view);
    if (!v) return trace(line.str(), 1);
    v->set = false;
    bool ok = band_count >= 1 && band_count <= v->info.nBands && band_list && x0 <= x1 &&
              y0 <= y1 && x1 < v->info.nSizeX && y1 < v->info.nSizeY && width >= 1 && height >= 1 &&
              width <= x1 - x0 + 1 && height <= y1 - y0 + 1;
    for (uint32_t b = 0; ok && b < band_count; b++) ok = band_list[b] < v->info.nBands;
    if (!ok) return trace(line.str(), 1, " refused");
    if (fails(v, "setview")) return trace(line.str(), 1);
    v->bands.assign(band_list, band_list + band_count);
    v->x0 = x0, v->y0 = y0, v->x1 = x1, v->y1 = y1;
    v->out_width = width, v->out_height = height, v->next_line = 0;
    v->set = true;
    return trace(line.str(), 0);
}

EXPORT int NCScbmReadViewLineBIL(void* view, uint8_t** lines) {
    auto* v = static_cast<View*>(view);
    uint32_t y = 0;
    if (!v || !lines || fails(v, "bil") || !next_row(v, &y)) return trace("bil", 1);
    for (size_t b = 0; b < v->bands.size(); b++)
        for (uint32_t i = 0; i < v->out_width; i++)
            lines[b][i] =
                sample(v, v->bands[b], source_of(v->x0, v->x1 - v->x0 + 1, i, v->out_width), y);
    return trace("bil", 0);
}

// The partial build, a library that lacks one of the six functions, leaves this one out.
#ifndef ECW_DOUBLE_PARTIAL
EXPORT int NCScbmReadViewLineBGRA(void* view, uint32_t* pixels) {
    auto* v = static_cast<View*>(view);
    uint32_t y = 0;
    if (!v || !pixels || fails(v, "bgra") || !next_row(v, &y)) return trace("bgra", 1);
    for (uint32_t i = 0; i < v->out_width; i++) {
        uint32_t x = source_of(v->x0, v->x1 - v->x0 + 1, i, v->out_width);
        // One band is grey; otherwise the first three are red, green and blue.
        uint32_t r = sample(v, v->bands[0], x, y);
        uint32_t g = v->bands.size() >= 3 ? sample(v, v->bands[1], x, y) : r;
        uint32_t b = v->bands.size() >= 3 ? sample(v, v->bands[2], x, y) : r;
        pixels[i] = b | g << 8 | r << 16;
    }
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
    flush_repeats();
    copy = s_trace;
    s_trace.clear();
    s_last.clear();
    return copy.c_str();
}
