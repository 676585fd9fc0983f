// PBM, PGM and PPM decoder (text and raw forms). The header goes through the shared PNM token
// reader; the pixels are read straight from the reader's window, a megabyte at a time.
//
// Choices beyond the classic 8-bit files: a maxval of 0 or above 65535 is refused as bad data;
// a maxval from 256 to 65535 gives 16-bit samples (two bytes, most significant first, in the
// raw forms) rounded to 0..255, with a plain 256-level grey palette for PGM.
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "decoders/decode_limits.h"
#include "decoders/decoder_start.h"
#include "decoders/decoders.h"
#include "decoders/pnm_pixels.h"
#include "core/store.h"
#include "image/image.h"

namespace {

constexpr int kFirstNameIndex = 18; // "PBM (ascii)"; P1..P6 follow in order
constexpr long kLargestMaxval = 65535;
constexpr long kReaderWindow = 1 << 16;
constexpr int64_t kMostPixelsPerByte = 8;

enum PnmVariant { P1 = 1, P2, P3, P4, P5, P6 };

bool is_bitmap(int variant) {
    return variant == P1 || variant == P4;
}
bool is_colour(int variant) {
    return variant == P3 || variant == P6;
}

void set_fields_and_palette(Image* image, int variant, long maxval) {
    int bits = is_bitmap(variant) ? 1 : is_colour(variant) ? 24 : 8;
    image->bit_count = bits;
    image->bits_per_sample = bits;
    image->samples_per_pixel = 1;
    if (is_bitmap(variant)) {
        for (int c = 0; c < 3; c++) image->palette[c][0] = 255, image->palette[c][1] = 0;
    } else if (!is_colour(variant)) {
        // 16-bit grey is scaled to bytes, so its palette is the plain 0..255 ramp
        long levels = maxval > 255 ? 255 : maxval;
        for (long i = 0; i <= levels; i++)
            for (int c = 0; c < 3; c++)
                image->palette[c][i] = static_cast<uint8_t>(255 * i / levels);
    }
}

} // namespace

void pnm_load(int image_id, int name_index, int list) {
    (void)list;
    Image* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!image) {
        g_status = ST_NOT_FOUND;
        return;
    }
    // Detection read the header through a small window: the pixels want a large one.
    rd_close(image->file_entry_id);
    if (rd_open(image->file_entry_id, kReaderWindow, true) != 0) {
        if (!g_status) g_status = ST_FILE;
        return;
    }
    if (name_index < kFirstNameIndex || name_index > kFirstNameIndex + 5) {
        g_status = ST_VALUE;
        return;
    }
    int variant = name_index - kFirstNameIndex + 1;
    image->format_name_index = name_index;

    rd_seek(2, 0);
    pnm_begin_header(rd_size() - 2);
    long width = pnm_header_number();
    long height = pnm_header_number();
    long maxval = is_bitmap(variant) ? 1 : pnm_header_number();
    if (g_status) return;
    if (width < 1 || height < 1) return decoder_refuse(ST_BAD_DATA, "PNM : dimensions invalides");
    if (maxval < 1 || maxval > kLargestMaxval)
        return decoder_refuse(ST_BAD_DATA, "PNM : valeur maximale non geree");
    int planes = is_colour(variant) ? 3 : 1;
    // No form takes less than a byte for eight pixels; a file cut short still shows its rows.
    if (!image_size_supplied(width, height, rd_size(), kMostPixelsPerByte))
        return decoder_refuse(ST_BAD_DATA,
                              "PNM : dimensions trop grandes pour la taille du fichier");
    if (!image_size_acceptable(width, height, planes))
        return decoder_refuse(ST_NO_MEMORY, "PNM : image trop grande");

    set_fields_and_palette(image, variant, maxval);
    image_alloc(image, static_cast<int>(width), static_cast<int>(height), planes, STORE_PLAIN);
    if (g_status) return;
    image = obj_find_as<Image>(CLS_IMAGE, image_id); // creating the stores may move records

    PnmRaster raster{image, variant, static_cast<int>(maxval)};
    switch (variant) {
    case P1:
        pnm_read_text_bits(raster);
        break;
    case P2:
    case P3:
        pnm_read_text_samples(raster);
        break;
    case P4:
        pnm_read_raw_bits(raster);
        break;
    default:
        pnm_read_raw_samples(raster);
        break;
    }
}
