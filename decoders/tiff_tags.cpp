// TIFF directory entries: a table indexed by tag number (0 to 532) gives each tag its handler;
// tags the decoder does not need are passed over, unknown ones up to 532 refuse the file and
// every tag above 532 is skipped. JPEG tables (347) are passed over so that JPEG-compressed
// files are refused as an unsupported compression rather than as a damaged file.
#include "decoders/tiff.h"

#include "core/mem.h"
#include "core/reader.h"
#include "core/status.h"
#include "decoders/decoder_start.h"
#include "image/image.h"

namespace {

constexpr int k_last_tag = 532;
constexpr long long k_max_chunks = 1 << 26;
enum FieldType { TYPE_ASCII = 2, TYPE_SHORT = 3, TYPE_LONG = 4, TYPE_RATIONAL = 5 };

struct Entry {
    int tag;
    int type;
    uint32_t count;
    long long value_at; // file offset of the 4-byte value field
};

using Handler = void (*)(TiffTags*, Image*, const Entry&);

bool g_big_endian = false;

unsigned read16() {
    return g_big_endian ? rd_u16be() : rd_u16le();
}
uint32_t read32() {
    return g_big_endian ? rd_u32be() : rd_u32le();
}

// False (status 14) unless the entry's type and count are as expected.
bool expect(bool ok) {
    if (!ok) decoder_refuse(ST_BAD_DATA, "TIFF : type ou nombre de valeurs invalide");
    return ok;
}

bool short_or_long(const Entry& e) {
    return e.type == TYPE_SHORT || e.type == TYPE_LONG;
}

// Value of a one-value SHORT or LONG entry.
uint32_t single(const Entry& e) {
    rd_seek(e.value_at, 0);
    return e.type == TYPE_SHORT ? read16() : read32();
}

// Positions the reader at the entry's values: inline when they fit in 4 bytes.
void seek_values(const Entry& e, int value_size) {
    rd_seek(e.value_at, 0);
    if (static_cast<long long>(e.count) * value_size > 4) rd_seek(read32(), 0);
}

// Reads n SHORT or LONG values into a new array held by holder. A count the file cannot hold
// is refused before anything is allocated.
void read_array(const Entry& e, uint32_t*& holder, long long n) {
    int size = e.type == TYPE_SHORT ? 2 : 4;
    if (n * size > rd_size()) {
        decoder_refuse(ST_FILE, "TIFF : tableau plus long que le fichier");
        return;
    }
    if (n > k_max_chunks) {
        decoder_refuse(ST_NO_MEMORY, "TIFF : trop de bandes ou de tuiles");
        return;
    }
    mem_free(holder);
    if (!mem_alloc(holder, static_cast<size_t>(n) * 4 + 8)) return;
    seek_values(e, size);
    for (long long i = 0; i < n && !g_status; i++) holder[i] = size == 2 ? read16() : read32();
}

double rational_at(long long offset, int index) {
    rd_seek(offset + 8LL * index, 0);
    uint32_t num = read32(), den = read32();
    return den ? static_cast<double>(num) / den : 0.0;
}

void ignore(TiffTags*, Image*, const Entry&) {}

void unknown(TiffTags*, Image*, const Entry&) {
    decoder_refuse(ST_BAD_DATA, "TIFF : etiquette inconnue");
}

void new_subfile_type(TiffTags* t, Image*, const Entry& e) {
    if (!expect(e.type == TYPE_LONG && e.count == 1)) return;
    uint32_t v = single(e);
    t->reduced_resolution = v & 1;
    t->page = v & 2;
    t->transparency_mask = v & 4;
}

void dimension(TiffTags* t, Image*, const Entry& e) {
    if (!expect(e.count == 1 && short_or_long(e))) return;
    uint32_t v = single(e);
    int value = v > 0x7fffffff ? 0x7fffffff : static_cast<int>(v);
    (e.tag == 256 ? t->width : t->height) = value;
}

void bits_per_sample(TiffTags* t, Image* image, const Entry& e) {
    if (!expect(e.type == TYPE_SHORT && e.count >= 1)) return;
    seek_values(e, 2);
    t->bits_per_sample = static_cast<int>(read16());
    image->bits_per_sample = t->bits_per_sample;
    for (uint32_t i = 1; i < e.count && !g_status; i++)
        if (static_cast<int>(read16()) != t->bits_per_sample)
            return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : echantillons de tailles differentes");
}

void compression(TiffTags* t, Image* image, const Entry& e) {
    if (!expect(e.type == TYPE_SHORT && e.count == 1)) return;
    int c = static_cast<int>(single(e));
    int name;
    switch (c) {
    case TIFF_NONE:
        name = 8;
        break;
    case TIFF_CCITT_1D:
        name = 9;
        break;
    case TIFF_GROUP3:
    case TIFF_GROUP4:
        name = c == TIFF_GROUP3 ? 10 : 11;
        image->palette[0][0] = image->palette[1][0] = image->palette[2][0] = 255;
        image->palette[0][1] = image->palette[1][1] = image->palette[2][1] = 0;
        break;
    case TIFF_LZW:
        name = 12;
        break;
    case TIFF_OLD_JPEG:
    case TIFF_JPEG:
        name = 13;
        break;
    case TIFF_PACKBITS:
        name = 14;
        break;
    default:
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : compression inconnue");
    }
    t->compression = c;
    image->format_name_index = name;
}

void photometric(TiffTags* t, Image*, const Entry& e) {
    if (!expect(e.type == TYPE_SHORT && e.count == 1)) return;
    int p = static_cast<int>(single(e));
    static const int models[] = {MODEL_PALETTE, MODEL_PALETTE, MODEL_RGB, MODEL_PALETTE, -1,
                                 MODEL_CMYK,    MODEL_YCBCR,   -1,        MODEL_CIELAB};
    static const int samples[] = {1, 1, 3, 1, 0, 4, 3, 0, 3};
    if (p < 0 || p > 8 || p == 7)
        return decoder_refuse(ST_BAD_DATA, "TIFF : interpretation inconnue");
    t->photometric_seen = true;
    t->photometric = p;
    if (p == 4) {
        t->transparency_mask = true;
        return;
    }
    t->model = models[p];
    t->samples = samples[p];
}

void fill_order(TiffTags* t, Image*, const Entry& e) {
    if (expect(e.type == TYPE_SHORT && e.count == 1)) t->fill_order = static_cast<int>(single(e));
}

void model_text(TiffTags*, Image*, const Entry& e) {
    if (!expect(e.type == TYPE_ASCII)) return;
    // The text is not used; only its memory is checked, as the other arrays are.
    if (e.count > rd_size())
        return decoder_refuse(ST_FILE, "TIFF : texte plus long que le fichier");
    char* text = nullptr;
    if (mem_alloc(text, static_cast<size_t>(e.count) + 1)) mem_free(text);
}

void strip_offsets(TiffTags* t, Image*, const Entry& e) {
    if (!expect(short_or_long(e))) return;
    read_array(e, t->offsets, e.count);
    t->chunks = e.count;
    t->strip_count = static_cast<int>(e.count > 0x7fffffff ? 0x7fffffff : e.count);
    if (e.count == 1) t->rows_per_strip = t->height;
}

void orientation(TiffTags* t, Image*, const Entry& e) {
    if (expect(e.type == TYPE_SHORT && e.count == 1)) t->orientation = static_cast<int>(single(e));
}

void samples_per_pixel(TiffTags* t, Image* image, const Entry& e) {
    if (!expect(e.type == TYPE_SHORT && e.count == 1)) return;
    t->samples = static_cast<int>(single(e));
    image->samples_per_pixel = t->samples;
}

void rows_per_strip(TiffTags* t, Image*, const Entry& e) {
    if (expect(e.count == 1 && short_or_long(e))) t->rows_per_strip = single(e);
}

void byte_counts(TiffTags* t, Image*, const Entry& e) {
    if (!expect(short_or_long(e) && e.count >= t->chunks)) return;
    read_array(e, t->byte_counts, e.count);
    t->byte_count_entries = e.count;
}

void resolution(TiffTags*, Image* image, const Entry& e) {
    if (!expect(e.type == TYPE_RATIONAL && e.count == 1)) return;
    rd_seek(e.value_at, 0);
    long long at = read32();
    rd_seek(at, 0);
    uint32_t num = read32(), den = read32();
    double v = den ? static_cast<double>(num / den) : 0.0;
    (e.tag == 282 ? image->x_resolution : image->y_resolution) = v;
}

void planar(TiffTags* t, Image*, const Entry& e) {
    if (t->samples == 1) return;
    if (expect(e.type == TYPE_SHORT && e.count == 1)) t->planar = static_cast<int>(single(e));
}

void t6_options(TiffTags*, Image*, const Entry& e) {
    if (!expect(e.type == TYPE_LONG && e.count == 1)) return;
    if (single(e) & 1) decoder_refuse(ST_BAD_DATA, "TIFF : mode non compresse du groupe 4");
}

void resolution_unit(TiffTags*, Image* image, const Entry& e) {
    if (!expect(e.type == TYPE_SHORT && e.count == 1)) return;
    uint32_t unit = single(e);
    if (unit == 3) {
        image->x_resolution = static_cast<int>(image->x_resolution * 2.54);
        image->y_resolution = static_cast<int>(image->y_resolution * 2.54);
    } else if (unit != 1 && unit != 2) {
        decoder_refuse(ST_BAD_DATA, "TIFF : unite de resolution inconnue");
    }
}

void predictor(TiffTags* t, Image*, const Entry& e) {
    if (expect(e.type == TYPE_SHORT && e.count == 1)) t->predictor = static_cast<int>(single(e));
}

void colour_map(TiffTags* t, Image* image, const Entry& e) {
    if (t->model != MODEL_PALETTE) return;
    int bits = t->bits_per_sample;
    long long entries = e.count / 3;
    if (!expect(e.type == TYPE_SHORT && e.count % 3 == 0 && bits < 31 && entries <= (1LL << bits)))
        return;
    t->colour_map_seen = true;
    if (bits > 8) return;
    seek_values(e, 2);
    for (int c = 0; c < 3; c++)
        for (long long i = 0; i < entries && !g_status; i++) {
            double x = read16() * 255.0 / 65535.0;
            image->palette[c][i] = x < 0.5 ? 0 : x >= 254.5 ? 255 : static_cast<uint8_t>(x + 0.5);
        }
}

void tile_size(TiffTags* t, Image*, const Entry& e) {
    if (!expect(e.count == 1 && short_or_long(e))) return;
    uint32_t v = single(e);
    if (v == 0 || v % 16 != 0 || v > 0x7fffffff)
        return decoder_refuse(ST_BAD_DATA, "TIFF : taille de tuile invalide");
    if (e.tag == 322) {
        t->tile_width = static_cast<int>(v);
        t->tiles_across = (static_cast<long long>(t->width) + v - 1) / v;
    } else {
        t->tile_length = static_cast<int>(v);
        t->rows_per_strip = v;
        t->tiles_down = (static_cast<long long>(t->height) + v - 1) / v;
    }
}

void tile_offsets(TiffTags* t, Image*, const Entry& e) {
    if (!expect(short_or_long(e) && e.count >= t->tiles_across * t->tiles_down)) return;
    read_array(e, t->offsets, e.count);
    t->chunks = e.count;
    t->strip_count = 0;
}

// The tags below are passed over by the tag check itself: a malformed one is ignored rather
// than refused. They decide how samples turn into colours.
void sample_format(TiffTags* t, Image*, const Entry& e) {
    if (e.type != TYPE_SHORT || e.count < 1) return;
    seek_values(e, 2);
    t->sample_format = static_cast<int>(read16());
}

void ycbcr_coefficients(TiffTags* t, Image*, const Entry& e) {
    if (e.type != TYPE_RATIONAL || e.count != 3) return;
    seek_values(e, 8);
    long long at = rd_tell();
    for (int i = 0; i < 3 && !g_status; i++) t->ycbcr[i] = static_cast<float>(rational_at(at, i));
}

void ycbcr_subsampling(TiffTags* t, Image*, const Entry& e) {
    if (e.type != TYPE_SHORT || e.count != 2) return;
    rd_seek(e.value_at, 0);
    t->subsampling[0] = static_cast<int>(read16());
    t->subsampling[1] = static_cast<int>(read16());
}

void reference_black_white(TiffTags* t, Image*, const Entry& e) {
    if (e.type != TYPE_RATIONAL || e.count != 6) return;
    seek_values(e, 8);
    long long at = rd_tell();
    for (int i = 0; i < 6 && !g_status; i++)
        t->reference[i] = static_cast<float>(rational_at(at, i));
    t->reference_seen = true;
}

struct TagHandler {
    int tag;
    Handler handler;
};

const TagHandler k_handlers[] = {
    {254, new_subfile_type},  {256, dimension},
    {257, dimension},         {258, bits_per_sample},
    {259, compression},       {262, photometric},
    {266, fill_order},        {272, model_text},
    {273, strip_offsets},     {274, orientation},
    {277, samples_per_pixel}, {278, rows_per_strip},
    {279, byte_counts},       {282, resolution},
    {283, resolution},        {284, planar},
    {293, t6_options},        {296, resolution_unit},
    {317, predictor},         {320, colour_map},
    {322, tile_size},         {323, tile_size},
    {324, tile_offsets},      {325, byte_counts},
    {339, sample_format},     {529, ycbcr_coefficients},
    {530, ycbcr_subsampling}, {532, reference_black_white},
};

const int k_ignored[] = {255, 263, 264, 265, 269, 270, 271, 280, 281, 285, 286, 287,
                         288, 289, 290, 291, 292, 297, 301, 305, 306, 315, 316, 318,
                         319, 321, 330, 332, 333, 334, 336, 337, 338, 340, 341, 342,
                         347, 512, 513, 514, 515, 517, 518, 519, 520, 521, 531};

Handler g_table[k_last_tag + 1];

void build_table() {
    if (g_table[0]) return;
    for (Handler& h : g_table) h = unknown;
    for (int tag : k_ignored) g_table[tag] = ignore;
    for (const TagHandler& h : k_handlers) g_table[h.tag] = h.handler;
}

} // namespace

void tiff_read_directory(TiffTags* tags, Image* image) {
    build_table();
    g_big_endian = tags->big_endian;
    unsigned entries = read16();
    long long at = rd_tell();
    for (unsigned i = 0; i < entries && !g_status; i++, at += 12) {
        rd_seek(at, 0);
        Entry e;
        e.tag = static_cast<int>(read16());
        e.type = static_cast<int>(read16());
        e.count = read32();
        e.value_at = at + 8;
        if (g_status) break;
        if (e.tag <= k_last_tag) g_table[e.tag](tags, image, e);
    }
    if (g_status) {
        mem_free(tags->offsets);
        mem_free(tags->byte_counts);
    }
}
