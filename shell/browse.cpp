#include "shell/browse.h"
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "image/file_entry.h"
#include "shell/app_windows.h"
#include "shell/app_state.h"
#include "shell/status_display.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

FileEntry* entry_of(int id) {
    return obj_find_as<FileEntry>(CLS_FILE_ENTRY, id);
}

// Entries that may still turn out to be images; directories and names the file system does
// not know are dropped when browsing reaches them.
bool may_be_image(const FileEntry* entry) {
    return entry->kind == KIND_IMAGE || entry->kind == KIND_UNEXAMINED;
}

} // namespace

int next_entry(int direction, int entry_id) {
    int index = g_browse.browse_index_id;
    if (!index) return 0;
    int found = direction == -1 ? index_find_last(index, entry_id) : index_find(index, entry_id);
    if (found || !entry_id) return found;
    // Past an end: wrap around.
    return direction == -1 ? index_find_last(index, 0) : index_find(index, 0);
}

void drop_entry(int entry_id) {
    list_remove(g_app.file_list_id, entry_id);
    obj_delete(CLS_FILE_ENTRY, entry_id);
}

int find_next_image_entry(int direction, int entry_id) {
    for (;;) {
        int candidate = next_entry(direction, entry_id);
        if (!candidate) return 0;
        FileEntry* entry = entry_of(candidate);
        if (entry->kind == KIND_UNEXAMINED) {
            detect_format(candidate);
            entry = entry_of(candidate);
            if (g_status) {
                if (entry) entry->kind = KIND_UNEXAMINED;
                g_browse.animating = false;
                g_status = 0;
            }
        }
        if (entry && entry->kind == KIND_IMAGE) return candidate;
        drop_entry(candidate);
        // The starting entry itself was dropped: no place left to search from.
        if (candidate == entry_id) return 0;
    }
}

void restart_browsing(int) {
    int old_index = g_browse.browse_index_id;
    g_browse.browse_index_id = 0;
    if (old_index) obj_delete(CLS_TABLE, old_index);
    int index = 0;
    index_build(g_app.file_list_id, CLS_FILE_ENTRY, offsetof(FileEntry, sort_key), KEY_TEXT,
                &index);
    g_browse.browse_index_id = index;
    g_browse.current_entry_id = 0;
}

void empty_page_list() {
    list_delete_members(g_app.page_list_id);
}

void list_place(int entry_id, int* place, int* count) {
    *place = *count = 0;
    const FileEntry* current = entry_of(entry_id);
    if (!current || !may_be_image(current)) return;
    const char* key = current->sort_key ? current->sort_key : "";
    int before = 0, candidates = 0, id = 0;
    while (auto* entry = static_cast<const FileEntry*>(
               list_next_of_class(g_app.file_list_id, CLS_FILE_ENTRY, &id))) {
        if (!id) break;
        if (!may_be_image(entry)) continue;
        candidates++;
        int order = std::strcmp(entry->sort_key ? entry->sort_key : "", key);
        if (order < 0 || (order == 0 && id < entry_id)) before++;
    }
    *place = before + 1;
    *count = candidates;
}

void load_next_file(int step) {
    empty_page_list();
    // The animation state belongs to the file shown; the next one starts afresh.
    g_browse.animating = false;
    g_browse.pass_counter = 0;
    g_browse.current_entry_id = find_next_image_entry(step, g_browse.current_entry_id);
    if (!g_browse.current_entry_id) {
        show_status_message(g_app.error_picture_id, "Aucune image dans le repertoire");
        return;
    }
    const char* path = entry_of(g_browse.current_entry_id)->path;
    char title[600];
    std::snprintf(title, sizeof title, "%s - Loading.........", path ? path : "");
    set_main_title(title);
    int page_list = g_app.page_list_id;
    load_image(g_browse.current_entry_id, &page_list, 0, 0);
    g_browse.pass_counter = 0;
    if (g_status) {
        FileEntry* entry = entry_of(g_browse.current_entry_id);
        char text[600];
        std::snprintf(text, sizeof text, "%s : %s", entry && entry->path ? entry->path : "",
                      status_category_text());
        show_status_message(g_app.error_picture_id, text);
        g_browse.pass_counter = 1;
        g_browse.animating = false;
        g_status = 0;
    }
}
