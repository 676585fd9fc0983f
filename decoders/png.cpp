// PNG decoder: reads the chunks through the buffered reader, then streams the IDAT data
// through inflate a few rows at a time and unfilters the rows into the page.
#include "core/byte_order.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "decoders/decoders.h"
#include "decoders/png_internal.h"
#include "image/image.h"
#include "core/services.h"

#include <cstdio>
#include <cstring>

PngState g_png;

namespace {

constexpr int k_png_name_index = 15;
constexpr long k_read_window = 1 << 20;
const uint8_t k_signature_tail[4] = {0x0D, 0x0A, 0x1A, 0x0A};

bool is_ancillary(const uint8_t name[4]) {
    return (name[0] & 0x20) != 0;
}

void refuse_critical_chunk(const uint8_t name[4]) {
    char text[64];
    std::snprintf(text, sizeof text, "PNG : bloc critique inconnu %02X %02X %02X %02X", name[0],
                  name[1], name[2], name[3]);
    log_line(text);
    g_status = ST_UNKNOWN_FORMAT;
}

void read_chunks() {
    long long position = 8;
    while (position + 12 <= g_png.file_size) {
        // The header is read where it lies, without moving the reader's window there: the
        // IDAT data around it is read later, while the rows are decoded.
        uint8_t header[8];
        rd_read_at(header, position, 8);
        if (g_status) return;
        const uint32_t length = load_be32(header);
        const uint8_t* name = header + 4;
        // Data running past the end of the file: the file is cut short; what came before
        // stands, and the missing IEND is reported later.
        if (length > g_png.file_size - position - 12) return;
        PngChunkHandler handler = png_chunk_handler(name);
        g_png.chunk_at = position;
        if (handler && std::memcmp(name, "IDAT", 4) != 0) rd_seek(position + 8, 0);
        if (handler)
            handler(length);
        else if (!is_ancillary(name))
            refuse_critical_chunk(name);
        if (g_status) return;
        position += 12 + length; // data and the CRC, which is not checked
        if (g_png.end_seen) return;
    }
}

} // namespace

void png_load(int image_id, int list) {
    g_png = PngState{};
    g_png.first_data_chunk = -1;
    Image* page = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!page) {
        g_status = ST_NOT_FOUND;
        return;
    }
    g_png.page = page;
    page->format_name_index = k_png_name_index;
    const int entry = page->file_entry_id;
    if (rd_open(entry, k_read_window, true)) {
        g_status = ST_FILE;
        return;
    }
    g_png.file_size = rd_size();
    uint8_t tail[4] = {};
    if (g_png.file_size >= 8) {
        rd_seek(4, 0);
        rd_read(tail, 4);
    }
    if (g_status || std::memcmp(tail, k_signature_tail, 4) != 0) {
        rd_close(entry);
        g_status = ST_BAD_DATA;
        return;
    }
    read_chunks();
    if (!g_status) png_decode_rows();
    rd_close(entry);
}
