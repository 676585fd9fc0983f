// Windows bitmap decoder: reads the information header (the OS/2 core header, the Windows
// 40-byte header and its later versions), the palette or the bit-field masks, sets up the
// image and hands the pixel data to the row or run-length reader.
#include "decoders/bmp.h"

#include "core/reader.h"
#include "core/status.h"
#include "decoders/decode_limits.h"
#include "decoders/decoder_start.h"
#include "decoders/decoders.h"
#include "image/image.h"

#include <cstdlib>

namespace {

constexpr long kReaderBuffer = 65536;
constexpr int64_t kFileHeader = 14;
constexpr int64_t kFileHeaderAndInfo = 54;
constexpr int64_t kWithMasks = 66;
constexpr int64_t kMostRunLengthPixelsPerByte = 1024;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kCoreHeader = 12;          // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr uint32_t kOs2Short = 16;            // OS/2 2.x cut after the bit count; the rest is zero
constexpr uint32_t kOs2Header = 64;           // OS/2 2.x: compression 3 and 4 are its own codings
constexpr uint32_t kV5Header = 124;           // the only header that can embed a profile
constexpr int64_t kColourSpaceType = 14 + 56; // colour-space type field of V4 and V5 headers
constexpr uint32_t kProfileEmbedded = 0x4D424544; // "MBED"

BmpHeader g_header;

// The OS/2 headers, the information header and its later versions, which only append
// fields: bit-field masks (52, 56), colour space and gamma (108), intent and profile (124).
bool header_size_known(uint32_t size) {
    return size == kCoreHeader || size == kOs2Short || size == kInfoHeader || size == 52 ||
           size == 56 || size == kOs2Header || size == 108 || size == kV5Header;
}

bool bit_count_supported(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Compression must match the bit count and row order; run-length data is bottom-up only.
bool compression_fits(const BmpHeader& h) {
    switch (h.compression) {
    case BMP_RLE8:
        return h.bottom_up && h.bits == 8;
    case BMP_RLE4:
        return h.bottom_up && h.bits == 4;
    case BMP_BITFIELDS:
        return h.bits == 16 || h.bits == 32;
    default:
        return true;
    }
}

void set_default_masks(BmpHeader* h) {
    if (h->bits == 16) {
        h->masks[0] = 0x7C00, h->masks[1] = 0x03E0, h->masks[2] = 0x001F;
    } else {
        h->masks[0] = 0xFF0000, h->masks[1] = 0x00FF00, h->masks[2] = 0x0000FF;
    }
}

// The palette lies between the end of the information header and the pixel data.
void read_palette(Image* image, const BmpHeader& h, int64_t start) {
    int entry_size = h.header_size == kCoreHeader ? 3 : 4;
    int64_t entries = (static_cast<int64_t>(h.data_offset) - start) / entry_size;
    if (h.bits < 31 && entries > (int64_t(1) << h.bits)) entries = int64_t(1) << h.bits;
    if (entries > 256) entries = 256; // the palette arrays end here; later entries are skipped
    rd_seek(start, 0);
    uint8_t quad[4];
    for (int64_t i = 0; i < entries && !g_status; i++) {
        rd_read(quad, entry_size);
        image->palette[0][i] = quad[2];
        image->palette[1][i] = quad[1];
        image->palette[2][i] = quad[0];
    }
}

// Size, planes and bit count: 16-bit fields in the OS/2 core header, 32-bit ones in the
// others; compression and resolution in the headers long enough to hold them (the short
// ones are uncompressed).
void read_dimensions(Image* image, BmpHeader* h) {
    int32_t stored_height;
    if (h->header_size == kCoreHeader) {
        h->width = static_cast<int32_t>(rd_u16le());
        stored_height = static_cast<int32_t>(rd_u16le());
    } else {
        h->width = static_cast<int32_t>(rd_u32le());
        stored_height = static_cast<int32_t>(rd_u32le());
    }
    h->bottom_up = stored_height >= 0;
    h->height = stored_height == INT32_MIN ? INT32_MAX : std::abs(stored_height);
    image->samples_per_pixel = static_cast<int16_t>(rd_u16le());
    h->bits = static_cast<int16_t>(rd_u16le());
    image->bits_per_sample = h->bits;
    image->bit_count = h->bits;
    if (h->header_size < kInfoHeader) return;
    h->compression = rd_u32le();
    rd_seek(38, 0);
    image->x_resolution = static_cast<int32_t>(rd_u32le());
    image->y_resolution = static_cast<int32_t>(rd_u32le());
}

// Reads everything up to the pixel data into g_header and the image's fields.
void read_header(Image* image) {
    BmpHeader& h = g_header;
    h.file_size = rd_size();
    if (h.file_size < kFileHeader + 4)
        return decoder_refuse(ST_BAD_DATA, "BMP : fichier trop court");
    rd_seek(2, 0);
    uint32_t declared = rd_u32le();
    rd_seek(10, 0);
    h.data_offset = rd_u32le();
    h.header_size = rd_u32le();
    if (g_status) return;
    // The longer headers need the 54 bytes of the 40-byte one; the short OS/2 ones fewer.
    int64_t header_end = kFileHeader + h.header_size;
    int64_t minimum = h.header_size < kInfoHeader ? header_end : kFileHeaderAndInfo;
    h.required_size = declared > minimum ? declared : minimum;
    if (h.file_size < minimum) return decoder_refuse(ST_BAD_DATA, "BMP : fichier trop court");
    if (!header_size_known(h.header_size))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "BMP : en-tete non gere");
    if (h.file_size < header_end) return decoder_refuse(ST_BAD_DATA, "BMP : en-tete tronque");

    read_dimensions(image, &h);
    if (g_status) return;
    if (h.compression > BMP_BITFIELDS || (h.header_size == kOs2Header && h.compression > BMP_RLE4))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "BMP : compression inconnue");
    image->format_name_index = h.compression == BMP_RGB         ? 0
                               : h.compression == BMP_BITFIELDS ? 2
                                                                : 1;
    if (!compression_fits(h)) return decoder_refuse(ST_BAD_DATA, "BMP : compression incompatible");
    if (!bit_count_supported(h.bits))
        return decoder_refuse(ST_BAD_DATA, "BMP : profondeur non geree");
    set_default_masks(&h);
    if (h.header_size == kV5Header) {
        rd_seek(kColourSpaceType, 0);
        if (rd_u32le() == kProfileEmbedded && !g_status)
            return decoder_refuse(ST_UNKNOWN_FORMAT, "BMP : profil de couleur incorpore non gere");
    }

    // Masks follow the 40-byte header, and sit at the same place inside the longer ones.
    if (h.compression == BMP_BITFIELDS) {
        if (h.required_size < kWithMasks) h.required_size = kWithMasks;
        if (h.file_size < kWithMasks) return decoder_refuse(ST_BAD_DATA, "BMP : masques absents");
        rd_seek(kFileHeaderAndInfo, 0);
        for (uint32_t& mask : h.masks) mask = rd_u32le();
    } else if (h.data_offset > header_end) {
        if (h.required_size < h.data_offset) h.required_size = h.data_offset;
        if (h.file_size < h.data_offset)
            return decoder_refuse(ST_BAD_DATA, "BMP : palette tronquee");
        read_palette(image, h, header_end);
    }
    if (g_status) return;
    rd_seek(h.data_offset, 0);
}

} // namespace

void bmp_load(int image_id, int list, int row) {
    (void)list;
    (void)row; // rows are decoded once, at load
    g_header = BmpHeader();
    Image* image = decoder_start(image_id, kReaderBuffer);
    if (!image) return;
    read_header(image);
    if (g_status) return;

    int planes = g_header.bits <= 8 ? 1 : 3;
    if (g_header.width <= 0 || g_header.height <= 0)
        return decoder_refuse(ST_BAD_DATA, "BMP : dimensions nulles ou negatives");
    // Uncompressed rows must all be in the file (checked with the rows); run-length codes
    // give at most 255 pixels for two bytes, far fewer in files that real encoders write.
    bool run_length = g_header.compression == BMP_RLE8 || g_header.compression == BMP_RLE4;
    if (run_length && !image_size_supplied(g_header.width, g_header.height, g_header.file_size,
                                           kMostRunLengthPixelsPerByte))
        return decoder_refuse(ST_BAD_DATA,
                              "BMP : dimensions trop grandes pour la taille du fichier");
    image = decoder_alloc(image_id, g_header.width, g_header.height, planes, "BMP");
    if (!image) return;
    if (run_length)
        bmp_read_run_length(image, g_header);
    else
        bmp_read_rows(image, g_header);
}
