#include "shell/file_commands.h"
#include "core/lists.h"
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/invalidate.h"
#include "display/layers.h"
#include "display/view_state.h"
#include "image/file_entry.h"
#include "shell/app_state.h"
#include "shell/browse.h"
#include "shell/page_step.h"
#include "core/services.h"
#include "shell/startup.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int k_max_name = 255;

void log_open_error(const char* name) {
    char text[k_max_name + 200];
    std::snprintf(text, sizeof text, "Erreur ouverture / Opening error \n'%s' : %s", name,
                  status_text());
    g_status = 0;
    log_line(text);
}

int last_file_entry() {
    int id = 0;
    list_last_of_class(g_app.file_list_id, CLS_FILE_ENTRY, &id);
    return id;
}

} // namespace

void move_to_recycle_bin(const char* path) {
    app_move_to_recycle_bin(path);
}

void remove_current_entry(bool also_file) {
    if (list_count(g_app.file_list_id, CLS_FILE_ENTRY) == 0) return;
    if (g_browse.current_page_id) {
        layer_remove_object(g_browse.current_page_id, g_app.raster_layer_id);
        g_display.shown_page_id = 0;
    }
    empty_page_list();
    g_browse.current_page_id = 0;
    int saved = next_entry(-1, g_browse.current_entry_id);
    auto* entry = obj_find_as<FileEntry>(CLS_FILE_ENTRY, g_browse.current_entry_id);
    char* path = nullptr;
    if (entry && entry->path) mem_strdup(path, entry->path);
    if (entry) {
        if (saved == g_browse.current_entry_id) saved = 0; // the only entry
        drop_entry(g_browse.current_entry_id);
        if (also_file && path) move_to_recycle_bin(path);
    }
    mem_free(path);
    g_browse.current_entry_id = saved;
    full_redraw(g_app.document_window_id, g_app.view_id);
    step_page(+1);
}

void drop_files(PlatformDrop drop) {
    int count = app_drop_count(drop);
    int last_before = last_file_entry();
    for (int i = count - 1; i >= 0; i--) {
        char name[k_max_name + 1];
        int length = app_drop_name(drop, i, name, sizeof name);
        if (length > k_max_name) continue; // a cut name would open another file
        normalise_path(name);
        int entry = 0;
        open_path(name, &g_app.file_list_id, &entry);
        // A name that cannot be opened (a directory that cannot be entered) is passed over,
        // with a word in the log; the files already listed stay.
        if (g_status) log_open_error(name);
    }
    restart_browsing(last_before);
    app_drop_finish(drop);
    if (g_status) {
        init_failed();
        return;
    }
    step_page(+1);
}
