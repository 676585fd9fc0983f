// Targa header parsing, the plausibility check and the detection test.
#include "decoders/targa.h"
#include "core/byte_order.h"
#include "core/reader.h"

#include <cstdio>
#include <cstring>

namespace {

const char k_signature[] = "TRUEVISION-XFILE."; // followed by a zero byte

bool known_type(int type) {
    int base = type & ~TGA_RLE_BIT;
    return type < 16 && base >= TGA_MAPPED && base <= TGA_GREY;
}

bool read_at(FILE* f, int64_t offset, uint8_t* out, size_t n) {
    return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
}

// Walks the run-length packets from the start of the pixel data; returns the offset just after
// the packet that completes width x height pixels, or -1 when the packets pass that count or
// the end of the file first.
int64_t run_length_end(FILE* f, const TargaHeader& h, int64_t file_size) {
    static uint8_t block[65536];
    const int64_t pixel_bytes = targa_pixel_bytes(h);
    const int64_t pixels = static_cast<int64_t>(h.width) * h.height;
    int64_t offset = h.pixel_offset, count = 0;
    int64_t block_start = -1, block_end = -1;
    while (count < pixels) {
        if (offset >= file_size) return -1;
        if (offset < block_start || offset >= block_end) {
            if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return -1;
            size_t got = std::fread(block, 1, sizeof block, f);
            if (got == 0) return -1;
            block_start = offset;
            block_end = offset + static_cast<int64_t>(got);
        }
        unsigned packet = block[offset - block_start];
        int64_t n = (packet & 127) + 1;
        offset += 1 + (packet & 128 ? 1 : n) * pixel_bytes;
        count += n;
    }
    return count == pixels && offset <= file_size ? offset : -1;
}

} // namespace

void targa_parse_header(const uint8_t* b, TargaHeader* h) {
    h->id_length = b[0];
    h->map_type = b[1];
    h->image_type = b[2];
    h->map_first = static_cast<int>(load_le16(b + 3));
    h->map_length = static_cast<int>(load_le16(b + 5));
    h->map_entry_bits = b[7];
    h->width = static_cast<int>(load_le16(b + 12));
    h->height = static_cast<int>(load_le16(b + 14));
    h->depth = b[16];
    h->alpha_bits = b[17] & 15;
    h->origin = (b[17] >> 4) & 3;
    h->interleave = b[17] >> 6;
    h->pixel_offset = k_targa_header_size + h->id_length +
                      static_cast<int64_t>(h->map_length) * ((h->map_entry_bits + 7) / 8);
}

bool targa_signature(const uint8_t* last18) {
    return std::memcmp(last18, k_signature, sizeof k_signature) == 0;
}

bool targa_header_plausible(const TargaHeader& h, int64_t file_size) {
    int bits = h.depth - h.alpha_bits;
    return h.map_type <= 1 && known_type(h.image_type) && h.map_length <= 256 &&
           (h.map_length == 0 || h.map_entry_bits != 0) && file_size >= h.pixel_offset &&
           bits >= 1 && bits <= 32 && h.interleave == 0;
}

bool targa_file_beyond_doubt(const char* path, int64_t file_size) {
    if (file_size < k_targa_header_size) return false;
    FILE* f = fs_open(path, "rb");
    if (!f) return false;
    uint8_t raw[k_targa_header_size], tail[k_targa_header_size];
    bool ok = read_at(f, 0, raw, sizeof raw) &&
              read_at(f, file_size - k_targa_header_size, tail, sizeof tail);
    if (ok && targa_signature(tail)) {
        std::fclose(f);
        return true;
    }
    TargaHeader h;
    targa_parse_header(raw, &h);
    ok = ok && targa_header_plausible(h, file_size) && h.width > 0 && h.height > 0 &&
         (targa_base_type(h) != TGA_MAPPED || (h.map_type == 1 && h.map_length > 0));
    int64_t end = -1;
    const int64_t row_bytes = static_cast<int64_t>(h.width) * targa_pixel_bytes(h);
    if (ok && targa_run_length(h))
        end = run_length_end(f, h, file_size);
    else if (ok)
        end = h.pixel_offset + row_bytes * h.height;
    std::fclose(f);
    // A few writers pad the pixel data; less than a row of padding still accounts for it.
    return end >= 0 && end <= file_size && file_size - end < row_bytes;
}
