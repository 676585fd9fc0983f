// File entries, format detection and the load dispatch.
#pragma once
#include <cstdint>

enum FileKind {
    KIND_DIRECTORY = 1,
    KIND_IMAGE = 2,
    KIND_DATA = 3,
    KIND_MAKER = 4,
    KIND_UNEXAMINED = 6,
    KIND_UNKNOWN = 200,
    KIND_OTHER = 254,
    KIND_MISSING = 255,
};

enum FormatId {
    FMT_BMP = 0,
    FMT_JPEG = 1,
    FMT_GIF = 2,
    FMT_TIFF = 3,
    FMT_PNG = 4,
    FMT_XPM = 5,
    FMT_PBM_ASCII = 6,
    FMT_PGM_ASCII = 7,
    FMT_PPM_ASCII = 8,
    FMT_PBM_RAW = 9,
    FMT_PGM_RAW = 10,
    FMT_PPM_RAW = 11,
    FMT_PCX = 12,
    FMT_SUN = 13,
    FMT_TARGA = 14,
    FMT_NONE = 15,
    FMT_ECW = 16,
};

struct FileEntry {
    int32_t id;
    char* path; // as given ('/' separators); lower-cased where the file system folds case
    int32_t kind;
    int32_t format_id;
    int64_t size;
    int32_t depth;
    int32_t variant;
    char* sort_key; // lower-cased path: the browse order is byte order of this key
};

void open_path(const char* path, int* list_holder, int* out_entry_id);
void create_file_entry(const char* path, int* list_holder, int* out_entry_id);
void detect_format(int entry_id);
void load_image(int entry_id, int* list_holder, int image_id, int row);
const char* file_entry_path(int entry_id);
const char* image_format_name(int image_id);
const char* format_display_name(int index);

// Deletion hook of class 38.
void file_entry_delete(int id, void* record);

// Directory scan of the application; open_path hands directories to it. Until the shell
// sets one, directories are ignored.
extern void (*g_directory_scan)(const char* path, int* list_holder);
