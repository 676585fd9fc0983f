// File entries and the load dispatch.
#include "image/file_entry.h"
#include "core/lists.h"
#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "decoders/decoders.h"
#include "image/ecw.h"
#include "image/image.h"
#include "core/services.h"

#include <cstdio>
#include <cstring>

void (*g_directory_scan)(const char* path, int* list_holder) = nullptr;

namespace {

bool ensure_list(int* list_holder) {
    if (*list_holder == 0) list_create(list_holder);
    return g_status == 0;
}

void log_load_error(const char* path) {
    const char* message = status_text();
    size_t n = std::strlen(path) + std::strlen(message) + 64;
    char* text = nullptr;
    int saved = g_status;
    if (!mem_alloc(text, n)) {
        g_status = saved;
        return;
    }
    std::snprintf(text, n, "Erreur chargement / Loading error \n'%s' : %s", path, message);
    log_line(text);
    mem_free(text);
}

// Calls the decoder that the image's format id selects.
void dispatch(int* image_id, int list, int row) {
    Image* image = obj_find_as<Image>(CLS_IMAGE, *image_id);
    int format = image->format_id;
    switch (format) {
    case FMT_BMP:
        bmp_load(*image_id, list, row);
        break;
    case FMT_JPEG:
        jpeg_load(*image_id, list);
        break;
    case FMT_GIF:
        gif_load(image_id, list);
        break;
    case FMT_TIFF:
        tiff_load(*image_id, list, row);
        break;
    case FMT_PNG:
        png_load(*image_id, list);
        break;
    case FMT_XPM:
        xpm_load(*image_id, list);
        break;
    case FMT_PCX:
        pcx_load(*image_id, list);
        break;
    case FMT_SUN:
        sunras_load(*image_id, list);
        break;
    case FMT_TARGA:
        targa_load(*image_id, list);
        break;
    case FMT_ECW:
        ecw_read_rows(*image_id, list, row);
        break;
    default:
        if (format >= FMT_PBM_ASCII && format <= FMT_PPM_RAW)
            pnm_load(*image_id, format + 12, list);
        else
            g_status = ST_UNKNOWN_FORMAT;
    }
}

} // namespace

void file_entry_delete(int id, void* record) {
    FileEntry* entry = static_cast<FileEntry*>(record);
    rd_close(id);
    mem_free(entry->path);
    mem_free(entry->sort_key);
}

const char* file_entry_path(int entry_id) {
    FileEntry* entry = obj_find_as<FileEntry>(CLS_FILE_ENTRY, entry_id);
    if (!entry) {
        g_status = ST_NOT_FOUND;
        return nullptr;
    }
    return entry->path;
}

void create_file_entry(const char* path, int* list_holder, int* out_entry_id) {
    *out_entry_id = 0;
    if (!ensure_list(list_holder)) return;
    int id = 0;
    FileEntry* entry = static_cast<FileEntry*>(obj_create(CLS_FILE_ENTRY, &id));
    if (!entry) return;
    char* copy = nullptr;
    if (!mem_strdup(copy, path)) {
        obj_delete(CLS_FILE_ENTRY, id);
        return;
    }
    int kind = KIND_MISSING;
    int64_t size = 0;
    file_kind(copy, &kind, &size);
    entry->kind = kind;
    entry->size = size;
    if (g_status) {
        mem_free(copy);
        obj_delete(CLS_FILE_ENTRY, id);
        return;
    }
    entry->depth = 0;
    normalise_path(copy);
    entry->path = copy;
    size_t n = std::strlen(copy) + 1;
    if (!mem_alloc(entry->sort_key, n)) return;
    path_sort_key(copy, entry->sort_key, static_cast<int>(n));
    list_add(*list_holder, CLS_FILE_ENTRY, id, entry);
    *out_entry_id = id;
}

void open_path(const char* path, int* list_holder, int* out_entry_id) {
    *out_entry_id = 0;
    char* copy = nullptr;
    if (!mem_strdup(copy, path)) return;
    int kind = KIND_MISSING;
    int64_t size = 0;
    file_kind(copy, &kind, &size);
    if (kind == KIND_DIRECTORY) {
        if (ensure_list(list_holder) && g_directory_scan) g_directory_scan(copy, list_holder);
        mem_free(copy);
        return;
    }
    mem_free(copy);
    if (g_status) {
        g_status = ST_BAD_ARGS;
        return;
    }
    create_file_entry(path, list_holder, out_entry_id);
    if (g_status) return;
    detect_format(*out_entry_id);
}

void load_image(int entry_id, int* list_holder, int image_id, int row) {
    if (image_id == 0) {
        FileEntry* entry = obj_find_as<FileEntry>(CLS_FILE_ENTRY, entry_id);
        if (!entry) {
            g_status = ST_NOT_FOUND;
            return;
        }
        if (entry->kind != KIND_IMAGE) {
            g_status = ST_UNKNOWN_FORMAT;
            return;
        }
        if (!ensure_list(list_holder)) return;
        Image* image = static_cast<Image*>(obj_create(CLS_IMAGE, &image_id));
        if (!image) return;
        image->gamma = -1.0;
        mem_strdup(image->path, entry->path);
        image->file_entry_id = entry_id;
        image->format_id = entry->format_id;
        int new_id = image_id;
        if (!g_status) {
            dispatch(&new_id, *list_holder, 0);
            if (!g_status && new_id) {
                Image* loaded = obj_find_as<Image>(CLS_IMAGE, new_id);
                if (loaded) list_add(*list_holder, CLS_IMAGE, new_id, loaded);
            }
        }
        if (g_status) {
            FileEntry* e = obj_find_as<FileEntry>(CLS_FILE_ENTRY, entry_id);
            log_load_error(e && e->path ? e->path : "");
            // A failed image that did not reach the list has no owner left: delete it, with its
            // rows and swap files, instead of leaking it on every failed load.
            int saved = g_status;
            if (new_id && !list_find(*list_holder, new_id, nullptr)) obj_delete(CLS_IMAGE, new_id);
            g_status = saved;
        }
        return;
    }
    Image* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!image) {
        g_status = ST_NOT_FOUND;
        return;
    }
    dispatch(&image_id, list_holder ? *list_holder : 0, row);
    if (g_status) {
        image = obj_find_as<Image>(CLS_IMAGE, image_id);
        log_load_error(image && image->path ? image->path : "");
    }
}
