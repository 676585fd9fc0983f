// Sun Rasterfile decoder: 1-, 8-, 24- and 32-bit pixels, stored or byte-encoded (run-length),
// with an RGB or raw colour map. Rows are padded to an even number of bytes.
//
// Beyond the classic set: run-length data is decoded at every depth (it encodes the padded rows
// as bytes, whatever they hold); 32-bit pixels start with their pad byte (XBGR, or XRGB for the
// RGB type); other depths are refused, as are indices past the colour map. Pixel data that
// ends early leaves the rest of the picture black and ends with status 14.
#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/services.h"
#include "core/status.h"
#include "decoders/byte_source.h"
#include "decoders/decoder_start.h"
#include "decoders/decoders.h"
#include "decoders/packed_pixels.h"
#include "image/image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr long kReaderBuffer = 1048576;
constexpr int kNameIndex = 28; // "Sun Rasterfile"
constexpr int kHeaderSize = 32;
constexpr unsigned kRunFlag = 128;

enum SunType { SUN_OLD = 0, SUN_STANDARD = 1, SUN_BYTE_ENCODED = 2, SUN_RGB = 3 };
enum SunMap { MAP_NONE = 0, MAP_RGB = 1, MAP_RAW = 2 };

struct SunHeader {
    int64_t width, height;
    uint32_t depth, length, type, map_type, map_length;
    int64_t row_bytes; // padded to an even count
};

struct RunState {
    unsigned left; // copies of value still to give
    uint8_t value;
};

SunHeader g_sun;
RunState g_run;
uint8_t* g_work = nullptr; // one padded row
int g_map_entries;         // colour-map entries (0: none)

// Bytes of pixel data the header declares: stored rows take at least height padded rows.
int64_t data_bytes(const SunHeader& h) {
    if (h.type == SUN_BYTE_ENCODED) return h.length;
    if (h.height > 0 && h.row_bytes > INT64_MAX / h.height) return INT64_MAX / 2;
    int64_t rows = h.height * h.row_bytes;
    return rows > h.length ? rows : h.length;
}

void read_header() {
    SunHeader& h = g_sun;
    rd_seek(4, 0);
    h.width = rd_u32be();
    h.height = rd_u32be();
    h.depth = rd_u32be();
    h.length = rd_u32be();
    h.type = rd_u32be();
    h.map_type = rd_u32be();
    h.map_length = rd_u32be();
    if (g_status) return;
    if (h.type > SUN_RGB) return decoder_refuse(ST_UNKNOWN_FORMAT, "Sun : type inconnu");
    int64_t unpadded = h.depth == 1 ? (h.width + 7) / 8 : h.width * (h.depth / 8);
    h.row_bytes = unpadded + (unpadded & 1);
    if (h.map_type != MAP_NONE && rd_size() < kHeaderSize + int64_t(h.map_length) + data_bytes(h))
        return decoder_refuse(ST_BAD_DATA, "Sun : fichier plus court que ses donnees");
    if (h.map_type > MAP_RAW) return decoder_refuse(ST_UNKNOWN_FORMAT, "Sun : palette inconnue");
    if (h.depth != 1 && h.depth != 8 && h.depth != 24 && h.depth != 32)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "Sun : profondeur non geree");
}

void read_palette(Image* image) {
    const SunHeader& h = g_sun;
    g_map_entries = 0;
    if (h.map_type == MAP_NONE || h.map_length == 0) {
        if (h.depth == 8) palette_identity(image);
        for (int c = 0; c < 3 && h.depth == 1; c++)
            image->palette[c][0] = 255, image->palette[c][1] = 0;
        return;
    }
    int64_t per_list = h.map_type == MAP_RGB ? h.map_length / 3 : h.map_length;
    int lists = h.map_type == MAP_RGB ? 3 : 1;
    g_map_entries = static_cast<int>(per_list < 256 ? per_list : 256);
    if (!g_map_entries) return decoder_refuse(ST_BAD_DATA, "Sun : palette vide");
    for (int list = 0; list < lists && !g_status; list++) {
        rd_seek(kHeaderSize + list * per_list, 0);
        uint8_t values[256];
        rd_read(values, g_map_entries);
        for (int i = 0; i < g_map_entries; i++)
            for (int c = 0; c < 3; c++)
                if (lists == 3 ? c == list : true) image->palette[c][i] = values[i];
    }
}

// Next decoded byte of the byte-encoded data: 128 n v is n + 1 copies of v, 128 0 is 128.
inline uint8_t next_encoded() {
    if (g_run.left) {
        g_run.left--;
        return g_run.value;
    }
    unsigned b = bytes_next();
    if (b != kRunFlag) return static_cast<uint8_t>(b);
    unsigned n = bytes_next();
    if (n == 0) return kRunFlag;
    g_run.value = static_cast<uint8_t>(bytes_next());
    g_run.left = n;
    return g_run.value;
}

// One padded row: stored rows straight from the reader where they lie whole in the file; what
// the data does not give stays 0. Encoded bytes are taken straight from the byte source's block
// while a whole code (up to three bytes) is there.
const uint8_t* read_row(bool encoded) {
    const int64_t n = g_sun.row_bytes;
    if (!encoded) {
        if (const uint8_t* row = reader_span(g_work, static_cast<long>(n))) return row;
        std::memset(g_work, 0, static_cast<size_t>(n));
        bytes_take(g_work, static_cast<long>(n)); // the end of the file: status 14
        return g_work;
    }
    std::memset(g_work, 0, static_cast<size_t>(n));
    int64_t i = 0;
    while (i < n && !g_status) {
        if (g_run.left) {
            int64_t take = std::min<int64_t>(g_run.left, n - i);
            std::memset(g_work + i, g_run.value, static_cast<size_t>(take));
            i += take;
            g_run.left -= static_cast<unsigned>(take);
            continue;
        }
        const uint8_t* p = g_bytes.block + g_bytes.at;
        const uint8_t* last = g_bytes.block + g_bytes.end - 2;
        while (i < n && p < last) {
            unsigned b = *p++;
            if (b != kRunFlag) {
                g_work[i++] = static_cast<uint8_t>(b);
            } else if (*p == 0) {
                g_work[i++] = kRunFlag;
                p++;
            } else {
                g_run.left = p[0] + 1u;
                g_run.value = p[1];
                p += 2;
                break;
            }
        }
        g_bytes.at = static_cast<int>(p - g_bytes.block);
        if (!g_run.left && i < n) g_work[i++] = next_encoded(); // near the block's end
    }
    return g_work;
}

void write_row(Image* image, int y, const uint8_t* src) {
    const SunHeader& h = g_sun;
    uint8_t* planes[3];
    for (int p = 0; p < 3 && p < image->planes; p++)
        if (!(planes[p] = image_row_write(image, y, p))) return;
    const int width = image->width;
    if (h.depth == 1) return unpack_bits_msb(src, planes[0], width, 1);
    if (h.depth == 8) {
        std::memcpy(planes[0], src, static_cast<size_t>(width));
        bool bad = false;
        for (int x = 0; g_map_entries && x < width; x++) bad |= src[x] >= g_map_entries;
        if (bad) decoder_refuse(ST_BAD_DATA, "Sun : indice hors de la palette");
        return;
    }
    bool rgb = h.type == SUN_RGB;
    PixelOrder order =
        h.depth == 24 ? (rgb ? ORDER_RGB : ORDER_BGR) : (rgb ? ORDER_XRGB : ORDER_XBGR);
    split_packed(order, src, planes[0], planes[1], planes[2], width);
}

} // namespace

void sunras_load(int image_id, int list) {
    (void)list;
    g_sun = SunHeader();
    g_run = RunState();
    Image* image = decoder_start(image_id, kReaderBuffer);
    if (!image) return;
    image->format_name_index = kNameIndex;
    if (rd_size() < kHeaderSize) return decoder_refuse(ST_BAD_DATA, "Sun : fichier trop court");
    read_header();
    if (g_status) return;
    const SunHeader& h = g_sun;
    int planes = static_cast<int>((h.depth + 7) / 8);
    image->bit_count = static_cast<int>(h.depth);
    image->bits_per_sample = static_cast<int>(h.depth);
    image->samples_per_pixel = 1;
    read_palette(image);
    if (g_status) return;
    image = decoder_alloc(image_id, h.width, h.height, planes, "Sun");
    if (!image) return;
    if (!mem_alloc(g_work, static_cast<size_t>(h.row_bytes) + 8)) return;
    rd_seek(kHeaderSize + int64_t(h.map_length), 0);
    bytes_begin(ST_BAD_DATA);
    for (int y = 0; y < h.height && !g_status; y++) {
        const uint8_t* row = read_row(h.type == SUN_BYTE_ENCODED);
        bool ended = g_status != 0;
        write_row(image, y, row);
        if (ended) log_line("Sun : donnees de pixels tronquees");
    }
    mem_free(g_work);
}
