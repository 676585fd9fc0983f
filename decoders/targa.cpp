// Truevision Targa decoder: colour-mapped, true-colour and grey images, stored or run-length
// encoded, in any of the four origins; the Targa 2.0 extension area gives the key colour, the
// gamma and the scan-line table.
//
// Variants that would otherwise show a wrong picture are refused: grey and index pixels other
// than 8 bits, true-colour depths other than 15, 16, 24 and 32, colour-map entries other than
// 15, 16, 24 and 32 bits, colour-mapped images without a colour map or with an index outside
// it. True-colour components come from the pixel depth (5 bits each for 15 and 16, 8 for 24 and
// 32), whatever the attribute-bit count says. Run-length packets may run on into the next row.
#include "decoders/targa.h"

#include "core/byte_order.h"
#include "core/charclass.h"
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
#include <cstring>

namespace {

constexpr long kReaderBuffer = 1048576;
constexpr int kNameIndex = 29; // "Truevision Targa"
// Extension-area fields, by offset from its start: key colour, gamma, scan-line table.
constexpr int kKeyColour = 471, kGamma = 478, kScanLineTable = 490, kExtensionEnd = 494;

struct TargaDecoder {
    TargaHeader h;
    int64_t file_size;
    int pixel_bytes;
    uint8_t scale5[32];  // 5-bit component to 0..255
    bool index_bad[256]; // indices outside the colour map
    uint8_t* work;       // one stored row of pixels
    int packet_left;     // pixels of the current run-length packet still to come
    bool packet_run;     // the packet repeats packet_pixel
    uint8_t packet_pixel[4];
};

TargaDecoder g_tga;

// Bits of each component of a true-colour pixel or colour-map entry; 0 when not handled.
int component_bits(int depth) {
    if (depth == 15 || depth == 16) return 5;
    if (depth == 24 || depth == 32) return 8;
    return 0;
}

// Refusals that the header alone decides; the status stays 0 when the file can be read.
void check_header(const TargaHeader& h, int64_t file_size) {
    int bits = h.depth - h.alpha_bits;
    if (h.image_type > 11 || targa_base_type(h) < TGA_MAPPED || targa_base_type(h) > TGA_GREY)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "Targa : type d'image inconnu");
    if (h.map_length > 256 || (h.map_length && !h.map_entry_bits))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "Targa : palette non geree");
    if (file_size < h.pixel_offset) return decoder_refuse(ST_BAD_DATA, "Targa : palette tronquee");
    if (bits < 1 || bits > 24 || h.width < 1 || h.height < 1)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "Targa : profondeur ou dimensions non gerees");
    if (targa_base_type(h) == TGA_TRUE ? !component_bits(h.depth) : bits != 8)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "Targa : profondeur de pixel non geree");
    if (h.map_entry_bits > 32)
        return decoder_refuse(ST_BAD_DATA, "Targa : entree de palette invalide");
    if (h.map_length && !component_bits(h.map_entry_bits))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "Targa : entree de palette non geree");
    if (targa_base_type(h) != TGA_MAPPED) return;
    if (h.map_type != 1 || !h.map_length)
        return decoder_refuse(ST_BAD_DATA, "Targa : image a palette sans palette");
    if (h.map_first + h.map_length > 256)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "Targa : palette au-dela de 256 entrees");
}

// Red, green and blue of a little-endian value v of 5- or 8-bit components (blue lowest).
void components(uint32_t v, int bits, uint8_t* rgb) {
    if (bits == 8) {
        rgb[0] = static_cast<uint8_t>(v >> 16), rgb[1] = static_cast<uint8_t>(v >> 8);
        rgb[2] = static_cast<uint8_t>(v);
        return;
    }
    rgb[0] = g_tga.scale5[(v >> 10) & 31], rgb[1] = g_tga.scale5[(v >> 5) & 31];
    rgb[2] = g_tga.scale5[v & 31];
}

void read_colour_map(Image* image, const TargaHeader& h) {
    rd_seek(k_targa_header_size + h.id_length, 0);
    int bytes = (h.map_entry_bits + 7) / 8, bits = component_bits(h.map_entry_bits);
    for (int i = 0; i < h.map_length && !g_status; i++) {
        uint8_t entry[4] = {0, 0, 0, 0}, rgb[3];
        rd_read(entry, bytes);
        components(load_le32(entry), bits, rgb);
        int at = targa_base_type(h) == TGA_MAPPED ? h.map_first + i : i;
        if (at < 256)
            for (int c = 0; c < 3; c++) image->palette[c][at] = rgb[c];
    }
    for (int i = 0; i < 256; i++)
        g_tga.index_bad[i] = i < h.map_first || i >= h.map_first + h.map_length;
}

// Key colour, gamma and the scan-line table of a Targa 2.0 extension area. An extension area
// that lies outside the file is ignored.
void read_extension_area(Image* image, const TargaHeader& h) {
    int64_t size = g_tga.file_size;
    if (size < k_targa_header_size + k_targa_footer_size) return;
    uint8_t footer[k_targa_footer_size];
    rd_seek(size - k_targa_footer_size, 0);
    rd_read(footer, k_targa_footer_size);
    if (g_status || !targa_signature(footer + 8)) return;
    int64_t area = load_le32(footer);
    if (area == 0 || area + kExtensionEnd > size) return;
    uint8_t fields[kExtensionEnd - kKeyColour];
    rd_seek(area + kKeyColour, 0);
    rd_read(fields, sizeof fields);
    if (g_status) return;
    image->transparent_flag = 1;
    image->transparent[0] = fields[0];
    for (int i = 255; i >= 0; i--)
        if (image->palette[0][i] == fields[0] && image->palette[1][i] == fields[1] &&
            image->palette[2][i] == fields[2])
            image->transparent[0] = static_cast<uint8_t>(i);
    unsigned numerator = load_le16(fields + (kGamma - kKeyColour));
    unsigned denominator = load_le16(fields + (kGamma - kKeyColour + 2));
    if (denominator) image->gamma = double(numerator) / denominator;
    int64_t table = load_le32(fields + (kScanLineTable - kKeyColour));
    if (!targa_run_length(h) || table == 0) return;
    uint8_t last[4];
    int64_t last_at = table + 4 * (static_cast<int64_t>(h.height) - 1);
    if (last_at + 4 > size)
        return decoder_refuse(ST_BAD_DATA, "Targa : table des lignes hors du fichier");
    rd_seek(last_at, 0);
    rd_read(last, 4);
    if (!g_status && load_le32(last) >= size)
        decoder_refuse(ST_BAD_DATA, "Targa : derniere ligne hors du fichier");
}

// Fills the work row with width stored pixels of run-length packets; a packet that goes past
// the row's end goes on in the next row. When the data ends early the rest of the row is 0.
void read_packed_row(int width) {
    const int bytes = g_tga.pixel_bytes;
    uint8_t* out = g_tga.work;
    int x = 0;
    while (x < width && !g_status) {
        if (g_tga.packet_left == 0) {
            unsigned packet = bytes_next();
            g_tga.packet_left = static_cast<int>(packet & 127) + 1;
            g_tga.packet_run = (packet & 128) != 0;
            if (g_tga.packet_run) bytes_take(g_tga.packet_pixel, bytes);
            if (g_status) break;
        }
        int n = std::min(g_tga.packet_left, width - x);
        uint8_t* at = out + static_cast<size_t>(x) * bytes;
        if (!g_tga.packet_run) {
            bytes_take(at, static_cast<long>(n) * bytes);
        } else if (bytes == 1) {
            std::memset(at, g_tga.packet_pixel[0], static_cast<size_t>(n));
        } else {
            for (int i = 0; i < n; i++) std::memcpy(at + i * bytes, g_tga.packet_pixel, bytes);
        }
        if (g_status) break;
        x += n;
        g_tga.packet_left -= n;
    }
    if (g_status)
        std::memset(out + static_cast<size_t>(x) * bytes, 0,
                    static_cast<size_t>(width - x) * bytes);
}

// Writes a row of stored pixels into image row y.
void convert_row(Image* image, int y, const uint8_t* src) {
    const TargaHeader& h = g_tga.h;
    const int width = image->width;
    uint8_t* planes[3] = {};
    for (int p = 0; p < image->planes; p++)
        if (!(planes[p] = image_row_write(image, y, p))) return;
    if (image->planes == 1) {
        if (g_tga.pixel_bytes == 1)
            std::memcpy(planes[0], src, static_cast<size_t>(width));
        else // 8 bits of value and 8 attribute bits: the value is the low byte
            for (int x = 0; x < width; x++) planes[0][x] = src[2 * x];
        if (targa_base_type(h) == TGA_MAPPED) {
            bool bad = false;
            for (int x = 0; x < width; x++) bad |= g_tga.index_bad[planes[0][x]];
            if (bad) decoder_refuse(ST_BAD_DATA, "Targa : indice hors de la palette");
        }
    } else if (g_tga.pixel_bytes >= 3) {
        split_packed(g_tga.pixel_bytes == 3 ? ORDER_BGR : ORDER_BGRX, src, planes[0], planes[1],
                     planes[2], width);
    } else {
        for (int x = 0; x < width; x++) {
            uint8_t rgb[3];
            components(load_le16(src + 2 * x), 5, rgb);
            planes[0][x] = rgb[0], planes[1][x] = rgb[1], planes[2][x] = rgb[2];
        }
    }
    if (h.origin & 1)
        for (int p = 0; p < image->planes; p++) std::reverse(planes[p], planes[p] + width);
}

void read_pixels(Image* image) {
    const TargaHeader& h = g_tga.h;
    const bool packed = targa_run_length(h);
    const long row_bytes = static_cast<long>(h.width) * g_tga.pixel_bytes;
    if (!mem_alloc(g_tga.work, static_cast<size_t>(row_bytes) + 8)) return;
    rd_seek(h.pixel_offset, 0);
    bytes_begin(ST_BAD_DATA);
    for (int k = 0; k < h.height && !g_status; k++) {
        int y = (h.origin & 2) ? k : h.height - 1 - k;
        const uint8_t* row = g_tga.work;
        if (packed)
            read_packed_row(h.width);
        else
            row = reader_span(g_tga.work, row_bytes); // the file's size was checked
        bool ended = g_status != 0 || !row;
        if (!ended || packed) convert_row(image, y, row);
        if (ended && packed) log_line("Targa : donnees compressees tronquees");
    }
    mem_free(g_tga.work);
}

} // namespace

void targa_load(int image_id, int list) {
    (void)list;
    mem_free(g_tga.work);
    g_tga = TargaDecoder();
    Image* image = decoder_start(image_id, kReaderBuffer);
    if (!image) return;
    image->format_name_index = kNameIndex;
    g_tga.file_size = rd_size();
    if (g_tga.file_size < k_targa_header_size)
        return decoder_refuse(ST_BAD_DATA, "Targa : fichier trop court");
    uint8_t raw[k_targa_header_size];
    rd_read(raw, k_targa_header_size);
    TargaHeader& h = g_tga.h;
    targa_parse_header(raw, &h);
    check_header(h, g_tga.file_size);
    if (g_status) return;
    g_tga.pixel_bytes = targa_pixel_bytes(h);
    for (int i = 0; i < 32; i++) g_tga.scale5[i] = clamp_byte(i * 255.0 / 31);

    const int planes = targa_base_type(h) == TGA_TRUE ? 3 : 1;
    image->bit_count = h.depth - h.alpha_bits;
    image->bits_per_sample = h.depth;
    image->samples_per_pixel = planes;
    read_colour_map(image, h);
    if (!h.map_length && targa_base_type(h) == TGA_GREY) palette_grey(image, 8);
    read_extension_area(image, h);
    if (g_status) return;
    int64_t pixels = static_cast<int64_t>(h.width) * h.height * g_tga.pixel_bytes;
    if (!targa_run_length(h) && g_tga.file_size - h.pixel_offset < pixels)
        return decoder_refuse(ST_BAD_DATA, "Targa : donnees de pixels tronquees");
    image = decoder_alloc(image_id, h.width, h.height, planes, "Targa");
    if (image) read_pixels(image);
}
