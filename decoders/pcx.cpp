// PCX decoder: 1-bit pixels in 1 to 4 planes (monochrome to 16 colours), 2- and 4-bit packed
// pixels in one plane, 8-bit pixels in 1 plane (256 colours), 3 (red, green, blue) or 4 planes
// (the fourth, alpha, is kept but not shown); stored or run-length encoded.
//
// Other plane and depth combinations are refused, as are scan lines shorter than the image
// width. Monochrome files show black and white whatever their header palette holds; an 8-bit
// single-plane file without its 256-colour palette shows grey levels.
#include "core/byte_order.h"
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

#include <cstring>

namespace {

constexpr long kReaderBuffer = 1048576;
constexpr int kNameIndex = 26; // "PCX"
constexpr int kHeaderSize = 128;
constexpr int kPaletteMarker = 12;
constexpr int kPaletteBytes = 768;
constexpr unsigned kRunBits = 0xC0;

struct PcxHeader {
    int version, encoding, bits, planes;
    int width, height;
    int bytes_per_line; // per plane
};

PcxHeader g_pcx;
uint8_t* g_line = nullptr; // one scan line: every plane's bytes in turn

int16_t s16(const uint8_t* p) {
    return static_cast<int16_t>(load_le16(p));
}

bool layout_supported(const PcxHeader& h) {
    switch (h.bits) {
    case 1:
        return h.planes >= 1 && h.planes <= 4;
    case 2:
    case 4:
        return h.planes == 1;
    case 8:
        return h.planes == 1 || h.planes == 3 || h.planes == 4;
    default:
        return false;
    }
}

// Reads the header into g_pcx and the image's fields and palette.
void read_header(Image* image) {
    uint8_t b[kHeaderSize];
    rd_read(b, kHeaderSize);
    if (g_status) return;
    PcxHeader& h = g_pcx;
    h.version = b[1];
    h.encoding = b[2];
    h.bits = b[3];
    if (h.encoding > 1) return decoder_refuse(ST_UNKNOWN_FORMAT, "PCX : codage inconnu");
    if (h.bits < 1) return decoder_refuse(ST_BAD_DATA, "PCX : profondeur nulle");
    h.width = s16(b + 8) - s16(b + 4) + 1;
    h.height = s16(b + 10) - s16(b + 6) + 1;
    if (h.width < 1 || h.height < 1)
        return decoder_refuse(ST_BAD_DATA, "PCX : dimensions invalides");
    image->x_resolution = s16(b + 12);
    image->y_resolution = s16(b + 14);
    for (int i = 0; i < 16; i++)
        for (int c = 0; c < 3; c++) image->palette[c][i] = b[16 + 3 * i + c];
    h.planes = b[65];
    h.bytes_per_line = s16(b + 66);
    if (!layout_supported(h))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "PCX : plans ou profondeur non geres");
    if (h.bytes_per_line < (static_cast<int64_t>(h.width) * h.bits + 7) / 8)
        return decoder_refuse(ST_BAD_DATA, "PCX : lignes plus courtes que l'image");
    image->bits_per_sample = h.bits;
    image->bit_count = h.bits < 8 ? h.bits * h.planes : h.bits;
    image->samples_per_pixel = h.planes;
    if (h.bits == 1 && h.planes == 1)
        for (int c = 0; c < 3; c++) image->palette[c][0] = 0, image->palette[c][1] = 255;
}

// Puts a run into the scan line; false (and the status) when it passes the line's end.
bool put_run(long run, uint8_t value, long size, long* at, bool* overrun) {
    if (run > size - *at) {
        *overrun = true;
        decoder_refuse(ST_BAD_DATA, "PCX : sequence au-dela de la ligne");
        return false;
    }
    for (long i = 0; i < run; i++) g_line[*at + i] = value;
    *at += run;
    return true;
}

// One scan line into g_line. Run-length runs stay inside their scan line; one that does not
// is refused here, data that ends early is left to the caller. Codes are taken straight from
// the byte source's block while a whole code is there, one by one across its end.
void read_scan_line(long size, bool* overrun) {
    if (g_pcx.encoding == 0) return bytes_take(g_line, size);
    long at = 0;
    while (at < size && !g_status) {
        const uint8_t* p = g_bytes.block + g_bytes.at;
        const uint8_t* last = g_bytes.block + g_bytes.end - 1;
        bool fits = true;
        while (at < size && p < last && fits) {
            unsigned b = *p++;
            if (b < kRunBits)
                g_line[at++] = static_cast<uint8_t>(b);
            else
                fits = put_run(b & ~kRunBits, *p++, size, &at, overrun);
        }
        g_bytes.at = static_cast<int>(p - g_bytes.block);
        if (!fits || at >= size) return;
        unsigned b = bytes_next();
        if (b < kRunBits) {
            if (!g_status) g_line[at++] = static_cast<uint8_t>(b);
            continue;
        }
        unsigned value = bytes_next();
        if (g_status || !put_run(b & ~kRunBits, static_cast<uint8_t>(value), size, &at, overrun))
            return;
    }
}

// Builds image row y from the scan line: below 8 bits the planes' fields add up to the index.
void write_row(Image* image, int y) {
    const PcxHeader& h = g_pcx;
    const int width = image->width;
    const long bpl = h.bytes_per_line;
    if (h.bits == 8) {
        for (int p = 0; p < h.planes; p++) {
            uint8_t* row = image_row_write(image, y, p);
            if (!row) return;
            std::memcpy(row, g_line + p * bpl, static_cast<size_t>(width));
        }
        return;
    }
    uint8_t* row = image_row_write(image, y, 0);
    if (!row) return;
    unpack_bits_msb(g_line, row, width, h.bits);
    // Only 1-bit pixels come in more than one plane.
    for (int p = 1; p < h.planes; p++) {
        const uint8_t* plane = g_line + p * bpl;
        for (int x = 0; x < width; x++)
            row[x] = static_cast<uint8_t>(row[x] | ((plane[x >> 3] >> (7 - (x & 7))) & 1) << p);
    }
}

// The 256-colour palette of an 8-bit single-plane file: marker 12 and 768 bytes, right after
// the image data or, failing that, at the end of the file (never inside the image data). Without
// one the indices are grey.
void read_end_palette(Image* image) {
    const PcxHeader& h = g_pcx;
    if (h.bits != 8 || h.planes != 1) return;
    const int64_t size = rd_size(), data_end = bytes_offset();
    int64_t at = data_end;
    if (h.version >= 5) {
        if (size - at < 1 + kPaletteBytes || bytes_next() != kPaletteMarker) {
            at = size - 1 - kPaletteBytes;
            if (at > data_end) {
                rd_seek(at, 0);
                bytes_begin(ST_BAD_DATA);
            }
            if (at <= data_end || bytes_next() != kPaletteMarker) at = -1;
        }
        if (g_status) return;
    } else {
        at = -1;
    }
    if (at < 0) return palette_identity(image);
    uint8_t rgb[kPaletteBytes];
    bytes_take(rgb, kPaletteBytes);
    for (int i = 0; i < 256; i++)
        for (int c = 0; c < 3; c++) image->palette[c][i] = rgb[3 * i + c];
}

} // namespace

void pcx_load(int image_id, int list) {
    (void)list;
    g_pcx = PcxHeader();
    Image* image = decoder_start(image_id, kReaderBuffer);
    if (!image) return;
    image->format_name_index = kNameIndex;
    if (rd_size() < kHeaderSize) return decoder_refuse(ST_BAD_DATA, "PCX : fichier trop court");
    read_header(image);
    if (g_status) return;
    const PcxHeader& h = g_pcx;
    const int planes = h.bits == 8 ? h.planes : 1;
    image = decoder_alloc(image_id, h.width, h.height, planes, "PCX");
    if (!image) return;
    const long line_size = static_cast<long>(h.planes) * h.bytes_per_line;
    if (!mem_alloc(g_line, static_cast<size_t>(line_size) + 8)) return;
    rd_seek(kHeaderSize, 0);
    bytes_begin(ST_BAD_DATA);
    for (int y = 0; y < h.height && !g_status; y++) {
        std::memset(g_line, 0, static_cast<size_t>(line_size));
        bool overrun = false;
        read_scan_line(line_size, &overrun);
        if (g_status && !overrun) log_line("PCX : donnees de pixels tronquees");
        write_row(image, y);
    }
    if (!g_status) read_end_palette(image);
    mem_free(g_line);
}
