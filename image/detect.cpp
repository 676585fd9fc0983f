// Format detection: a file's kind and format id from its first 64 bytes (for X pixmaps, their
// opening comment; for Targa files, which have no magic, their footer or whole layout), never
// from its name.
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "decoders/pnm_tokens.h"
#include "decoders/targa.h"
#include "image/file_entry.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

struct SignatureRow {
    uint8_t bytes[5];
    uint8_t mask[5];
    int32_t format_id;
    int32_t variant;
};

const SignatureRow k_table_a[] = {
    {{0x42, 0x4D, 0, 0, 0}, {1, 1, 0, 0, 0}, FMT_BMP, 0},
    {{0xFF, 0xD8, 0xFF, 0, 0}, {1, 1, 1, 0, 0}, FMT_JPEG, 0},
    {{0x49, 0x49, 0x2A, 0, 0}, {1, 1, 1, 0, 0}, FMT_TIFF, 1},
    {{0x4D, 0x4D, 0, 0x2A, 0}, {1, 1, 0, 1, 0}, FMT_TIFF, 1},
    {{0x47, 0x49, 0x46, 0, 0}, {1, 1, 1, 0, 0}, FMT_GIF, 0},
    {{0x89, 0x50, 0x4E, 0x47, 0}, {1, 1, 1, 1, 0}, FMT_PNG, 0},
    {{0x59, 0xA6, 0x6A, 0x95, 0}, {1, 1, 1, 1, 0}, FMT_SUN, 0},
    {{0x50, 0x31, 0, 0, 0}, {1, 1, 0, 0, 0}, FMT_PBM_ASCII, 0},
    {{0x50, 0x32, 0, 0, 0}, {1, 1, 0, 0, 0}, FMT_PGM_ASCII, 0},
    {{0x50, 0x33, 0, 0, 0}, {1, 1, 0, 0, 0}, FMT_PPM_ASCII, 0},
    {{0x50, 0x34, 0, 0, 0}, {1, 1, 0, 0, 0}, FMT_PBM_RAW, 0},
    {{0x50, 0x35, 0, 0, 0}, {1, 1, 0, 0, 0}, FMT_PGM_RAW, 0},
    {{0x50, 0x36, 0, 0, 0}, {1, 1, 0, 0, 0}, FMT_PPM_RAW, 0},
    {{0x0A, 0, 0x00, 0, 0}, {1, 0, 1, 0, 0}, FMT_PCX, 0},
    {{0x0A, 0, 0x01, 0, 0}, {1, 0, 1, 0, 0}, FMT_PCX, 0},
    {{0x65, 0x02, 0x01, 0, 0}, {1, 1, 1, 0, 0}, FMT_ECW, 1},
};
const SignatureRow k_table_b[] = {
    {{0x00, 0x00, 0x27, 0x0A, 0}, {1, 1, 1, 1, 0}, 25, 0},
};
const SignatureRow k_table_c[] = {
    {{'Q', 'K', 'T', 0, 0}, {1, 1, 1, 0, 0}, 27, 0},
    {{'Q', 'K', 'W', 0, 0}, {1, 1, 1, 0, 0}, 28, 0},
};

struct SignatureTable {
    const SignatureRow* rows;
    int count;
    int kind;
};
const SignatureTable k_tables[] = {
    {k_table_a, sizeof k_table_a / sizeof *k_table_a, KIND_IMAGE},
    {k_table_b, sizeof k_table_b / sizeof *k_table_b, KIND_DATA},
    {k_table_c, sizeof k_table_c / sizeof *k_table_c, KIND_MAKER},
};

bool row_matches(const SignatureRow& row, const uint8_t* header) {
    for (int i = 4; i >= 0; i--)
        if (row.mask[i] && header[i] != row.bytes[i]) return false;
    return true;
}

bool is_blank(int c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// An X pixmap starts, after optional blanks, with "/*", blanks and "XPM".
bool looks_like_xpm(const FileEntry* entry) {
    FILE* f = fs_open(entry->path, "rb");
    if (!f) {
        g_status = ST_FILE;
        return false;
    }
    int64_t read = 0;
    int c = EOF;
    while (read < entry->size) {
        c = std::fgetc(f);
        read++;
        if (c == EOF || !is_blank(c)) break;
    }
    bool ok = c != EOF && !is_blank(c) && read < entry->size;
    char text[4] = {0, 0, 0, 0};
    if (ok) {
        std::fseek(f, -1, SEEK_CUR);
        ok = std::fread(text, 1, 2, f) == 2 && text[0] == '/' && text[1] == '*';
    }
    if (ok) {
        do c = std::fgetc(f);
        while (c != EOF && is_blank(c));
        if (c != EOF) std::fseek(f, -1, SEEK_CUR);
        ok = std::fread(text, 1, 3, f) == 3 && std::memcmp(text, "XPM", 3) == 0;
    }
    std::fclose(f);
    return ok;
}

void pnm_plausibility(FileEntry* entry) {
    // Only the header is read: a small window, whatever the size of the file.
    if (rd_open(entry->id, 4096, true) != 0) {
        if (!g_status) g_status = ST_FILE;
        return;
    }
    rd_seek(2, 0);
    pnm_begin_header(entry->size - 2);
    long width = pnm_header_number();
    long height = pnm_header_number();
    if (width < 1 || height < 1) entry->kind = KIND_UNKNOWN;
}

} // namespace

void detect_format(int entry_id) {
    FileEntry* entry = obj_find_as<FileEntry>(CLS_FILE_ENTRY, entry_id);
    if (!entry) {
        g_status = ST_NOT_FOUND;
        return;
    }
    if (entry->kind != KIND_UNEXAMINED) return;
    FILE* f = fs_open(entry->path, "rb");
    if (!f) {
        entry->kind = KIND_MISSING;
        return;
    }
    uint8_t header[64];
    std::memset(header, 0, sizeof header);
    size_t got = std::fread(header, 1, sizeof header, f);
    (void)got;
    if (std::fclose(f) != 0) {
        g_status = ST_FILE;
        return;
    }
    entry->kind = KIND_UNKNOWN;
    if (entry->size == 0) return;
    if (looks_like_xpm(entry)) {
        entry->format_id = FMT_XPM;
        entry->kind = KIND_IMAGE;
        return;
    }
    char word[8];
    for (int i = 0; i < 7; i++) word[i] = static_cast<char>(std::tolower(header[i]));
    word[7] = 0;
    if (std::strcmp(word, "version") == 0) {
        entry->format_id = 26;
        entry->kind = KIND_DATA;
        return;
    }
    bool matched = false;
    for (const SignatureTable& table : k_tables) {
        for (int r = 0; r < table.count && !matched; r++) {
            if (!row_matches(table.rows[r], header)) continue;
            entry->format_id = table.rows[r].format_id;
            entry->variant = table.rows[r].variant;
            entry->kind = table.kind;
            matched = true;
        }
        if (matched) break;
    }
    if (matched && entry->format_id >= FMT_PBM_ASCII && entry->format_id <= FMT_PPM_RAW)
        pnm_plausibility(entry);
    // Targa has no magic: only a file that nothing else claims, and only when its footer or its
    // whole layout says it is one.
    if (!matched && targa_file_beyond_doubt(entry->path, entry->size)) {
        entry->format_id = FMT_TARGA;
        entry->kind = KIND_IMAGE;
    }
}
