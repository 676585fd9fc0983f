// TIFF samples to page pixels: palette indices and grey levels (1, 4 and 8 bits) go to one
// plane through the palette; RGB, CMYK and YCbCr go to red, green and blue planes. 16-bit
// samples give their high byte; samples beyond the colour ones (alpha, extra channels) are
// dropped. Layouts the page cannot show are refused before any row is read.
#include "decoders/tiff.h"

#include "core/status.h"
#include "decoders/decoder_start.h"
#include "image/image.h"

#include <cstring>

namespace {

uint8_t clamp_byte(float v) {
    return v < 0.5f ? 0 : v >= 254.5f ? 255 : static_cast<uint8_t>(v + 0.5f);
}

void unpack(const uint8_t* in, uint8_t* out, int count, int bits, bool lsb_first) {
    if (bits == 1) {
        for (int x = 0; x < count; x++) {
            int shift = lsb_first ? (x & 7) : 7 - (x & 7);
            out[x] = (in[x >> 3] >> shift) & 1;
        }
        return;
    }
    for (int x = 0; x < count; x++) {
        bool high = (x & 1) == lsb_first;
        out[x] = high ? in[x >> 1] >> 4 : in[x >> 1] & 15;
    }
}

// The three colour planes of samples that are one byte apart (after taking 16-bit high bytes).
void split_rgb(const uint8_t* in, int step, uint8_t* r, uint8_t* g, uint8_t* b, int count,
               int gap) {
    for (int x = 0; x < count; x++, in += step) {
        r[x] = in[0];
        g[x] = in[gap];
        b[x] = in[2 * gap];
    }
}

void cmyk(const uint8_t* in, int step, int gap, uint8_t* const* planes, int count) {
    for (int x = 0; x < count; x++, in += step) {
        int k = 255 - in[3 * gap];
        for (int c = 0; c < 3; c++)
            planes[c][x] = static_cast<uint8_t>((255 - in[c * gap]) * k / 255);
    }
}

void ycbcr(const TiffLayout* l, const uint8_t* in, int step, uint8_t* const* planes, int count) {
    const float* ref = l->reference;
    float lr = l->ycbcr[0], lg = l->ycbcr[1], lb = l->ycbcr[2];
    float ys = ref[1] != ref[0] ? 255.0f / (ref[1] - ref[0]) : 1.0f;
    float bs = ref[3] != ref[2] ? 127.0f / (ref[3] - ref[2]) : 1.0f;
    float rs = ref[5] != ref[4] ? 127.0f / (ref[5] - ref[4]) : 1.0f;
    for (int x = 0; x < count; x++, in += step) {
        float y = (in[0] - ref[0]) * ys;
        float cb = (in[1] - ref[2]) * bs;
        float cr = (in[2] - ref[4]) * rs;
        float r = cr * (2 - 2 * lr) + y;
        float b = cb * (2 - 2 * lb) + y;
        float g = lg != 0 ? (y - lb * b - lr * r) / lg : y;
        planes[0][x] = clamp_byte(r);
        planes[1][x] = clamp_byte(g);
        planes[2][x] = clamp_byte(b);
    }
}

int colour_samples(int model) {
    return model == MODEL_PALETTE ? 1 : model == MODEL_CMYK ? 4 : 3;
}

} // namespace

int tiff_planes(const TiffTags* tags) {
    return tags->model == MODEL_PALETTE ? 1 : 3;
}

void tiff_set_palette(Image* image, const TiffTags* t) {
    int bits = t->bits_per_sample;
    if (t->model == MODEL_CIELAB)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : CIELab non gere");
    if (t->sample_format != 1 && t->sample_format != 4)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : echantillons signes ou flottants");
    if (t->samples < colour_samples(t->model) || t->samples > 8)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : nombre d'echantillons non gere");
    if (t->model == MODEL_PALETTE) {
        if (t->samples != 1 || (bits != 1 && bits != 4 && bits != 8))
            return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : profondeur de gris non geree");
    } else if (bits != 8 && (bits != 16 || t->model == MODEL_YCBCR)) {
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : profondeur de couleur non geree");
    }
    if (t->model == MODEL_YCBCR && (t->subsampling[0] != 1 || t->subsampling[1] != 1))
        return decoder_refuse(ST_UNKNOWN_FORMAT, "TIFF : YCbCr sous-echantillonne non gere");
    if (t->model != MODEL_PALETTE) return;
    if (t->photometric_seen && t->photometric <= 1) {
        int top = (1 << bits) - 1, step = 255 / top;
        for (int i = 0; i <= top; i++) {
            int v = t->photometric == 0 ? 255 - i * step : i * step;
            image->palette[0][i] = image->palette[1][i] = image->palette[2][i] =
                static_cast<uint8_t>(v);
        }
        return;
    }
    bool fax = t->compression == TIFF_GROUP3 || t->compression == TIFF_GROUP4;
    if (!t->colour_map_seen && !fax) decoder_refuse(ST_BAD_DATA, "TIFF : palette absente");
}

void tiff_convert_row(const TiffLayout* l, const uint8_t* in, int count, uint8_t* const* planes) {
    int bits = l->bits_per_sample;
    if (l->compression == TIFF_GROUP4 || (l->model == MODEL_PALETTE && bits == 8)) {
        std::memcpy(planes[0], in, static_cast<size_t>(count));
        return;
    }
    if (l->model == MODEL_PALETTE) {
        unpack(in, planes[0], count, bits, l->fill_order == 2);
        return;
    }
    int size = bits / 8;
    int step = size * l->samples;
    // 16-bit samples: their high byte, first or second in the file's byte order.
    const uint8_t* first = in + (size == 2 && !l->big_endian ? 1 : 0);
    switch (l->model) {
    case MODEL_CMYK:
        cmyk(first, step, size, planes, count);
        break;
    case MODEL_YCBCR:
        ycbcr(l, first, step, planes, count);
        break;
    default:
        split_rgb(first, step, planes[0], planes[1], planes[2], count, size);
    }
}
