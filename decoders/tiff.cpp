// TIFF decoder: the header and first directory are read once, the image is set up with rows
// that are decoded on first read, and every later call decodes the strip or row of tiles that
// holds the row asked for. Only the first directory is read: the chain of further directories
// is never followed.
#include "decoders/tiff.h"

#include "core/lists.h"
#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/decode_limits.h"
#include "decoders/decoder_start.h"
#include "decoders/decoders.h"
#include "image/image.h"
#include "image/orientation.h"

#include <cstring>

namespace {

constexpr long k_reader_buffer = 4096;
constexpr long long k_max_decoded_row = 1 << 28;

void set_defaults(TiffTags* t, Image* image) {
    *t = TiffTags();
    t->samples = 1;
    t->bits_per_sample = 1;
    t->compression = TIFF_NONE;
    t->model = MODEL_PALETTE;
    t->fill_order = 1;
    t->orientation = 1;
    t->planar = 1;
    t->predictor = 1;
    t->rows_per_strip = 1294967295;
    t->subsampling[0] = t->subsampling[1] = 2;
    t->sample_format = 1;
    const float luma[3] = {0.299f, 0.587f, 0.114f};
    const float reference[6] = {0, 255, 128, 255, 128, 255};
    std::memcpy(t->ycbcr, luma, sizeof luma);
    std::memcpy(t->reference, reference, sizeof reference);
    image->samples_per_pixel = 1;
    image->bits_per_sample = 1;
    image->format_name_index = 8;
}

bool bits_accepted(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32 ||
           bits == 48 || bits == 56;
}

// Strips or tiles the layout needs, and the check that the file lists them all.
void check_chunks(TiffTags* t) {
    long long planes = t->planar == 2 ? t->samples : 1;
    long long needed;
    if (t->strip_count > 0) {
        if (t->rows_per_strip <= 0 || t->rows_per_strip > t->height) t->rows_per_strip = t->height;
        needed = (t->height + t->rows_per_strip - 1) / t->rows_per_strip * planes;
    } else {
        if (!t->tile_width || !t->tile_length)
            return decoder_refuse(ST_BAD_DATA, "TIFF : ni bandes ni tuiles");
        needed = t->tiles_across * t->tiles_down * planes;
    }
    if (!t->offsets || t->chunks < needed)
        return decoder_refuse(ST_BAD_DATA, "TIFF : bandes ou tuiles manquantes");
    if (!t->byte_counts || t->byte_count_entries < needed)
        return decoder_refuse(ST_BAD_DATA, "TIFF : tailles de bandes manquantes");
    t->chunks = needed;
}

void check_coding(const TiffTags* t) {
    int c = t->compression;
    if (c == TIFF_CCITT_1D || c == TIFF_GROUP3 || c == TIFF_OLD_JPEG || c == TIFF_JPEG)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : compression non geree");
    if (t->orientation < 1 || t->orientation > 8)
        return decoder_refuse(ST_BAD_DATA, "TIFF : orientation invalide");
    if (c == TIFF_LZW && t->fill_order == 2)
        return decoder_refuse(ST_BAD_DATA, "TIFF : LZW avec ordre de remplissage inverse");
    if (c == TIFF_GROUP4 && (t->bits_per_sample != 1 || t->samples != 1))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : groupe 4 sur plus d'un bit");
    if (t->predictor != 1 &&
        (t->predictor != 2 || (t->bits_per_sample != 8 && t->bits_per_sample != 16)))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : predicteur non gere");
    if (t->planar == 2 && t->bits_per_sample < 8)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : plans separes de moins de 8 bits");
}

// Decoded page bytes of the largest piece one demand decodes.
long long unit_bytes(const TiffTags* t, int planes) {
    long long rows = t->strip_count > 0 ? t->rows_per_strip : t->tile_length;
    long long width = t->strip_count > 0 ? t->width : t->tiles_across * t->tile_width;
    // Uncompressed strips are read a block of rows at a time, whatever their size.
    if (t->compression == TIFF_NONE && t->strip_count > 0 && rows * width * planes > (1 << 20))
        rows = 1 + (1 << 20) / (width * planes);
    return rows * width * planes;
}

// Copies what on-demand decoding needs into one block held by the image.
void keep_layout(Image* image, const TiffTags* t, bool whole) {
    size_t arrays = static_cast<size_t>(t->chunks) * sizeof(uint32_t);
    TiffLayout* layout = nullptr;
    if (!mem_alloc(layout, sizeof(TiffLayout) + 2 * arrays)) return;
    std::memset(layout, 0, sizeof(TiffLayout));
    layout->width = t->width;
    layout->height = t->height;
    layout->orientation = t->orientation;
    layout->compression = t->compression;
    layout->model = t->model;
    layout->samples = t->samples;
    layout->bits_per_sample = t->bits_per_sample;
    layout->separate_planes = t->planar == 2;
    layout->fill_order = t->fill_order;
    layout->predictor = t->predictor;
    layout->big_endian = t->big_endian;
    layout->rows_per_strip = static_cast<int32_t>(t->rows_per_strip);
    layout->tile_width = t->strip_count > 0 ? 0 : t->tile_width;
    layout->tiles_across = static_cast<int32_t>(t->tiles_across);
    layout->tiles_down = static_cast<int32_t>(t->tiles_down);
    layout->chunks = static_cast<int32_t>(t->chunks);
    layout->whole_at_load = whole;
    std::memcpy(layout->ycbcr, t->ycbcr, sizeof layout->ycbcr);
    std::memcpy(layout->reference, t->reference, sizeof layout->reference);
    layout->offsets = reinterpret_cast<uint32_t*>(layout + 1);
    layout->byte_counts = layout->offsets + t->chunks;
    std::memcpy(layout->offsets, t->offsets, arrays);
    std::memcpy(layout->byte_counts, t->byte_counts, arrays);
    mem_free(image->codec);
    image->codec = layout;
}

void set_up(Image* image, TiffTags* t, int list) {
    int bits = t->planar == 2 ? t->bits_per_sample : t->samples * t->bits_per_sample;
    if (!bits_accepted(bits)) return decoder_refuse(ST_BAD_DATA, "TIFF : profondeur non geree");
    if (t->reduced_resolution) {
        // A reduced-resolution directory is no page to show: the image goes, without a status.
        if (list) list_remove(list, image->id);
        obj_delete(CLS_IMAGE, image->id);
        return;
    }
    if (t->width < 1 || t->height < 1)
        return decoder_refuse(ST_BAD_DATA, "TIFF : dimensions nulles");
    check_coding(t);
    if (!g_status) tiff_set_palette(image, t);
    if (!g_status) check_chunks(t);
    if (g_status) return;
    int planes = tiff_planes(t);
    int page_width, page_height;
    orientation_page_size(t->orientation, t->width, t->height, &page_width, &page_height);
    // The decoded rows of a strip or tile (every sample) are held in one block each.
    long long decoded_width = t->strip_count > 0 ? t->width : t->tile_width;
    long long decoded_row = (decoded_width * t->samples * t->bits_per_sample + 7) / 8;
    if (!on_demand_size_acceptable(page_width, page_height, planes) ||
        decoded_row > k_max_decoded_row)
        return decoder_refuse(ST_NO_MEMORY, "TIFF : image trop grande");
    // A piece too big for a quarter of the memory budget would be decoded again and again;
    // transposed pages need every strip for each row. Both are decoded once, whole, into rows
    // that are swapped rather than dropped, so the swap files must have room for them.
    bool whole =
        orientation_transposes(t->orientation) || unit_bytes(t, planes) > store_budget() / 4;
    if (whole && !image_size_acceptable(page_width, page_height, planes))
        return decoder_refuse(ST_NO_MEMORY, "TIFF : image trop grande");
    keep_layout(image, t, whole);
    if (g_status) return;
    image->bit_count = t->samples * t->bits_per_sample;
    image_alloc(image, page_width, page_height, planes, whole ? STORE_PLAIN : STORE_ON_DEMAND);
}

void first_load(Image* image, int list) {
    TiffTags tags;
    set_defaults(&tags, image);
    rd_seek(0, 0);
    uint8_t order[2] = {0, 0};
    rd_read(order, 2);
    tags.big_endian = !(order[0] == 'I' && order[1] == 'I');
    unsigned magic = tags.big_endian ? rd_u16be() : rd_u16le();
    uint32_t directory = tags.big_endian ? rd_u32be() : rd_u32le();
    if (g_status) return;
    if (magic != 42) return decoder_refuse(ST_BAD_DATA, "TIFF : en-tete invalide");
    rd_seek(directory, 0);
    tiff_read_directory(&tags, image);
    if (!g_status) set_up(image, &tags, list);
    mem_free(tags.offsets);
    mem_free(tags.byte_counts);
}

} // namespace

void tiff_load(int image_id, int list, int row) {
    Image* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!image) {
        g_status = ST_NOT_FOUND;
        return;
    }
    if (rd_open(image->file_entry_id, k_reader_buffer, false) != 0) {
        g_status = ST_FILE;
        return;
    }
    if (!image->full_store) {
        first_load(image, list);
        if (g_status) return;
        image = obj_find_as<Image>(CLS_IMAGE, image_id);
        if (!image) return; // not kept
    }
    const TiffLayout* layout = static_cast<const TiffLayout*>(image->codec);
    if (row < 0 || !layout) return;
    tiff_decode_for_row(image, layout, row);
}
