// TIFF strips and tiles: finds the piece that holds a row, reads its bytes in pieces, runs the
// compression's row decoder (one per sample plane when planes are stored apart), undoes the
// predictor, converts each row to the page's planes and hands it to the placement. Rows a
// piece does not deliver are written black, so that a failed piece shows black rather than
// being decoded again at every read; the failure keeps its status.
#include "decoders/tiff.h"

#include "core/mem.h"
#include "core/reader.h"
#include "core/services.h"
#include "core/status.h"
#include "decoders/ccitt_g4.h"
#include "image/image.h"
#include "image/orientation.h"

#include <cstring>

namespace {

constexpr long k_feed_piece = 1 << 20;
constexpr long k_planar_feed_piece = 1 << 16;
constexpr long k_raw_block_bytes = 1 << 20;

// One strip or tile of one sample plane, delivering rows.
struct RowSource {
    int compression;
    long row_bytes;
    TiffFeed feed;
    LzwDecoder* lzw;
    G4Decoder* g4;
};

void source_open(RowSource* s, const TiffLayout* l, int chunk, long long skip_bytes, long row_bytes,
                 int width, long piece) {
    *s = RowSource{l->compression, row_bytes, TiffFeed(), nullptr, nullptr};
    long long count = static_cast<long long>(l->byte_counts[chunk]) - skip_bytes;
    feed_open(&s->feed, static_cast<long long>(l->offsets[chunk]) + skip_bytes,
              count > 0 ? count : 0, piece);
    if (g_status) return;
    if (s->compression == TIFF_LZW) s->lzw = lzw_open(&s->feed);
    if (s->compression == TIFF_GROUP4) s->g4 = g4_open(&s->feed, width, l->fill_order == 2);
}

bool source_row(RowSource* s, uint8_t* out) {
    switch (s->compression) {
    case TIFF_LZW:
        return lzw_row(s->lzw, out, s->row_bytes);
    case TIFF_PACKBITS:
        return packbits_row(&s->feed, out, s->row_bytes);
    case TIFF_GROUP4:
        return g4_row(s->g4, out);
    default:
        return raw_row(&s->feed, out, s->row_bytes);
    }
}

void source_close(RowSource* s) {
    lzw_close(s->lzw);
    g4_close(s->g4);
    feed_close(&s->feed);
}

// Working rows of one decode call.
struct Work {
    const TiffLayout* layout;
    Placement placement;
    int data_planes;   // sample planes stored apart, or 1
    long plane_bytes;  // bytes of one decoded row of one data plane
    long chunky_bytes; // bytes of one row with every sample
    int page_planes;
    int width;     // pixels of a decoded row (the tile width for tiles)
    bool in_place; // whole rows of one byte per pixel: decoded straight into the page
    uint8_t* rows; // holder: data_planes rows, then the chunky row, then the page planes
    uint8_t* chunky;
    uint8_t* out[3];
    RowSource sources[8];
};

long bytes_for(long long pixels, int bits) {
    return static_cast<long>((pixels * bits + 7) / 8);
}

bool work_open(Work* w, Image* image, const TiffLayout* l) {
    w->layout = l;
    w->data_planes = l->separate_planes ? l->samples : 1;
    w->width = l->tile_width ? l->tile_width : l->width;
    int sample_bits = l->compression == TIFF_GROUP4 ? 8 : l->bits_per_sample;
    w->plane_bytes = bytes_for(w->width, sample_bits * (l->separate_planes ? 1 : l->samples));
    w->chunky_bytes = bytes_for(w->width, sample_bits * l->samples);
    w->page_planes = image->planes;
    w->in_place =
        !l->tile_width && w->data_planes == 1 &&
        (l->compression == TIFF_GROUP4 || (l->model == MODEL_PALETTE && sample_bits == 8));
    size_t total = static_cast<size_t>(w->data_planes) * static_cast<size_t>(w->plane_bytes) +
                   static_cast<size_t>(w->chunky_bytes) +
                   static_cast<size_t>(w->page_planes) * static_cast<size_t>(w->width) + 64;
    w->rows = nullptr;
    if (!mem_alloc(w->rows, total)) return false;
    std::memset(w->rows, 0, total);
    w->chunky = w->rows + static_cast<size_t>(w->data_planes) * static_cast<size_t>(w->plane_bytes);
    for (int k = 0; k < 3; k++)
        w->out[k] = w->chunky + w->chunky_bytes +
                    static_cast<size_t>(k < w->page_planes ? k : 0) * static_cast<size_t>(w->width);
    return true;
}

uint8_t* data_row(Work* w, int plane) {
    return w->rows + static_cast<size_t>(plane) * static_cast<size_t>(w->plane_bytes);
}

// Decodes the next row of every source into samples (all samples of each pixel together);
// false when one of them fails.
bool next_row(Work* w, uint8_t* samples) {
    const TiffLayout* l = w->layout;
    bool undo = l->predictor == 2;
    if (w->data_planes == 1) {
        if (!source_row(&w->sources[0], samples)) return false;
        if (undo) predictor_undo(samples, w->width, l->samples, l->bits_per_sample, l->big_endian);
        return true;
    }
    int size = l->bits_per_sample / 8;
    for (int p = 0; p < w->data_planes; p++) {
        uint8_t* row = data_row(w, p);
        if (!source_row(&w->sources[p], row)) return false;
        if (undo) predictor_undo(row, w->width, 1, l->bits_per_sample, l->big_endian);
        uint8_t* to = samples + p * size;
        long step = static_cast<long>(size) * l->samples;
        for (int x = 0; x < w->width; x++, to += step, row += size) std::memcpy(to, row, size);
    }
    return true;
}

void fail_piece(Work* w) {
    if (g_status) return;
    bool cut = false;
    for (int p = 0; p < w->data_planes; p++) cut |= w->sources[p].feed.cut_by_file;
    log_line(cut ? "TIFF : fichier tronque dans une bande" : "TIFF : bande ou tuile incomplete");
    g_status = cut ? ST_FILE : ST_BAD_DATA;
}

// Writes black where a failed piece left rows: the status is held while the rows are made.
void place_black(Work* w, int y, int x, int count) {
    int failure = g_status;
    g_status = 0;
    for (int k = 0; k < w->page_planes; k++) std::memset(w->out[k], 0, static_cast<size_t>(count));
    place_row(&w->placement, y, x, count, w->out);
    if (!g_status) g_status = failure;
}

// Decodes rows [first, first + rows) of stored rows of one strip, or of one tile, whose
// pieces are chunk + p * plane_chunks for each data plane p, and places them at column x.
void decode_piece(Work* w, int chunk, int plane_chunks, long long skip_rows, int first, int rows,
                  int x) {
    const TiffLayout* l = w->layout;
    int count = l->width - x < w->width ? l->width - x : w->width;
    // Rows of a tile below the image are never needed: decoding stops at the last row.
    if (rows > l->height - first) rows = l->height - first;
    long piece = w->data_planes > 1 ? k_planar_feed_piece : k_feed_piece;
    bool ok = !g_status;
    for (int p = 0; p < w->data_planes; p++) w->sources[p] = RowSource();
    for (int p = 0; p < w->data_planes && ok; p++) {
        long long skip = l->compression == TIFF_NONE ? skip_rows * w->plane_bytes : 0;
        source_open(&w->sources[p], l, chunk + p * plane_chunks, skip, w->plane_bytes, w->width,
                    piece);
        ok = !g_status;
    }
    for (int k = 0; k < rows; k++) {
        int y = first + k;
        // Rows kept as stored are converted straight into the page; whole rows of one byte
        // per pixel are even decoded there.
        uint8_t* page[3];
        bool direct = ok && place_direct(&w->placement, y, x, page);
        uint8_t* samples = direct && w->in_place ? page[0] : w->chunky;
        if (ok && !next_row(w, samples)) {
            fail_piece(w);
            ok = false;
        }
        if (!ok) {
            place_black(w, y, x, count);
            continue;
        }
        if (samples == w->chunky) tiff_convert_row(l, samples, count, direct ? page : w->out);
        if (!direct) place_row(&w->placement, y, x, count, w->out);
        if (g_status) ok = false;
    }
    for (int p = 0; p < w->data_planes; p++) source_close(&w->sources[p]);
}

// Rows of an uncompressed strip are read a block at a time.
int raw_block_rows(const Work* w) {
    long long rows = k_raw_block_bytes / (w->plane_bytes * w->data_planes + 1);
    return rows < 1 ? 1 : static_cast<int>(rows);
}

void decode_strip_rows(Work* w, int stored_y) {
    const TiffLayout* l = w->layout;
    int rps = l->rows_per_strip;
    int strip = stored_y / rps;
    int strip_first = strip * rps;
    int strip_rows = l->height - strip_first < rps ? l->height - strip_first : rps;
    int first = strip_first, rows = strip_rows;
    if (l->compression == TIFF_NONE) {
        int block = raw_block_rows(w);
        first = strip_first + (stored_y - strip_first) / block * block;
        rows = strip_first + strip_rows - first < block ? strip_first + strip_rows - first : block;
    }
    int per_plane = (l->height + rps - 1) / rps;
    decode_piece(w, strip, per_plane, first - strip_first, first, rows, 0);
}

void decode_tile_row(Work* w, int stored_y) {
    const TiffLayout* l = w->layout;
    int tile_row = stored_y / l->rows_per_strip;
    int per_plane = l->tiles_across * l->tiles_down;
    for (int t = 0; t < l->tiles_across; t++)
        decode_piece(w, tile_row * l->tiles_across + t, per_plane, 0, tile_row * l->rows_per_strip,
                     l->rows_per_strip, t * l->tile_width);
}

void decode_stored_row(Work* w, int stored_y) {
    if (w->layout->tile_width)
        decode_tile_row(w, stored_y);
    else
        decode_strip_rows(w, stored_y);
}

} // namespace

void feed_open(TiffFeed* feed, long long offset, long long count, long piece) {
    long long size = rd_size();
    long long end = offset + count;
    *feed = TiffFeed();
    feed->file_next = offset;
    feed->file_end = end < size ? end : size;
    feed->cut_by_file = end > size;
    long long first = feed->file_end - offset;
    feed->capacity = first < piece ? (first > 0 ? static_cast<long>(first) : 1) : piece;
    mem_alloc(feed->buffer, static_cast<size_t>(feed->capacity) + 8);
    feed->next = feed->end = feed->buffer;
}

bool feed_refill(TiffFeed* feed) {
    if (!feed->buffer || feed->file_next >= feed->file_end || g_status) return false;
    long long left = feed->file_end - feed->file_next;
    long n = left < feed->capacity ? static_cast<long>(left) : feed->capacity;
    // An absolute read leaves the reader's window alone; it cannot reach the file's last byte.
    if (feed->file_next + n < rd_size()) {
        rd_read_at(feed->buffer, feed->file_next, n);
    } else {
        rd_seek(feed->file_next, 0);
        rd_read(feed->buffer, n);
    }
    if (g_status) return false;
    feed->file_next += n;
    feed->next = feed->buffer;
    feed->end = feed->buffer + n;
    return true;
}

void feed_close(TiffFeed* feed) {
    mem_free(feed->buffer);
    feed->next = feed->end = nullptr;
}

void tiff_decode_for_row(Image* image, const TiffLayout* l, int page_y) {
    Work w;
    if (!work_open(&w, image, l)) return;
    place_begin(&w.placement, image, l->width, l->height, l->orientation,
                l->tile_width ? l->rows_per_strip : 1);
    if (!g_status) {
        if (l->whole_at_load) {
            // Every piece once, in order; the next piece starts where this one's rows end.
            for (int y = 0; y < l->height && !g_status;) {
                decode_stored_row(&w, y);
                int rps = l->rows_per_strip;
                int next = (y / rps + 1) * rps;
                if (l->compression == TIFF_NONE && !l->tile_width) {
                    int block_end = y + raw_block_rows(&w);
                    if (block_end < next) next = block_end;
                }
                y = next;
            }
        } else if (page_y >= 0 && page_y < l->height) {
            decode_stored_row(&w, orientation_stored_row(l->orientation, page_y, l->height));
        }
    }
    place_end(&w.placement);
    mem_free(w.rows);
}
