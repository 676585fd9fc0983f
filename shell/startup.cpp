#include "shell/startup.h"
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "display/handlers.h"
#include "display/input_check.h"
#include "display/layers.h"
#include "display/palette.h"
#include "display/shell_hooks.h"
#include "display/view_state.h"
#include "display/window_objects.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "platform/app.h"
#include "platform/sys.h"
#include "shell/app_state.h"
#include "shell/app_windows.h"
#include "shell/browse.h"
#include "shell/command_line.h"
#include "shell/dir_scan.h"
#include "shell/page_step.h"
#include "shell/process.h"
#include "core/services.h"
#include "shell/status_display.h"
#include "shell/timers.h"
#include "shell/window_procs.h"

#include <cstdio>
#include <cstring>

namespace {

void arm_redraw_after_write() {
    schedule_timer(TIMER_REDRAW, 2000);
}

void install_hooks() {
    g_schedule_timer_hook = schedule_timer;
    g_busy_cursor_hook = set_busy_cursor;
    g_store_write_hook = arm_redraw_after_write;
    g_directory_scan = scan_directory;
}

void reset_process_state() {
    app_state_reset();
    timers_reset();
    view_state_reset();
    window_procs_reset();
    input_check_reset();
    g_highest_layer = 0;
}

bool executable_dir(char* out, int size) {
    bool ok = g_app_platform && g_app_platform->executable_dir
                  ? g_app_platform->executable_dir(out, size)
                  : sys_executable_dir(out, size);
    if (!ok) return false;
    for (char* p = out; *p; p++)
        if (*p == '\\') *p = '/';
    size_t n = std::strlen(out);
    if (n > 1 && out[n - 1] == '/') out[n - 1] = 0;
    return true;
}

// Loads a status picture from the working directory; 0 when it cannot be loaded.
int load_status_picture(const char* name) {
    int page_list = g_app.page_list_id;
    int entry = 0;
    create_file_entry(name, &page_list, &entry);
    if (!g_status) detect_format(entry);
    if (!g_status) load_image(entry, &page_list, 0, 0);
    if (entry) {
        list_remove(page_list, entry);
        obj_delete(CLS_FILE_ENTRY, entry);
    }
    int picture = 0;
    list_next_of_class(page_list, CLS_IMAGE, &picture);
    if (g_status) {
        if (picture) obj_delete(CLS_IMAGE, picture);
        list_delete_members(page_list);
        picture = 0;
        char text[100];
        std::snprintf(text, sizeof text, "Impossible de charger l'image %s", name);
        g_status = 0;
        log_line(text);
    } else {
        // Frame records and further pages of the picture are not needed.
        int member = 0, cls = 0;
        while (list_next(page_list, &cls, &member) && member)
            if (member != picture) obj_delete(cls, member);
    }
    list_clear(page_list);
    return picture;
}

void create_main_window() {
    PixelRect area;
    app_work_area(&area);
    PlatformWindow handle = app_create_main_window(k_program_title, area);
    if (!handle) {
        g_status = ST_SYSTEM;
        return;
    }
    make_window_object(handle, &g_app.main_window_id);
    g_display.main_window_id = g_app.main_window_id;
}

void create_document_window() {
    PlatformWindow main_window = window_handle(g_app.main_window_id);
    int width = 0, height = 0;
    plat_client_size(main_window, &width, &height);
    PlatformWindow handle = app_create_document_window(main_window, width, height);
    if (!handle) {
        g_status = ST_SYSTEM;
        return;
    }
    make_window_object(handle, &g_app.document_window_id);
    g_display.document_window_id = g_app.document_window_id;
}

void setup_document_view() {
    int view = 0, layer = 0;
    document_view_setup(g_app.document_window_id, g_app.extent_id, g_app.layer_object_list_id,
                        g_app.layer_spatial_index_id, &view, &layer);
    g_app.view_id = view;
    g_app.raster_layer_id = layer;
    g_display.view_id = view;
}

int last_file_entry() {
    int id = 0;
    list_last_of_class(g_app.file_list_id, CLS_FILE_ENTRY, &id);
    return id;
}

// Lists a name given at start-up (a file, or every file below a directory).
void open_start_name(char* name) {
    normalise_path(name);
    int entry = 0;
    open_path(name, &g_app.file_list_id, &entry);
}

// After the names are listed: the first image of them all.
void show_first_image(int last_before) {
    if (g_status) {
        init_failed();
        return;
    }
    restart_browsing(last_before);
    step_page(3);
}

void open_command_line(const char* command_line) {
    int last_before = last_file_entry();
    const char* cursor = command_line;
    char token[k_max_token + 1];
    for (;;) {
        TokenResult r = next_command_token(&cursor, token);
        if (r == TOKEN_NONE) break;
        if (r != TOKEN_READ) continue;
        open_start_name(token);
    }
    show_first_image(last_before);
}

void open_paths(int count, const char* const* paths) {
    int last_before = last_file_entry();
    char name[k_max_token + 1];
    for (int i = 0; i < count; i++) {
        size_t length = paths[i] ? std::strlen(paths[i]) : 0;
        // Too long a name is passed over whole: cut, it would name another file.
        if (length == 0 || length > size_t(k_max_token)) continue;
        std::memcpy(name, paths[i], length + 1);
        open_start_name(name);
    }
    show_first_image(last_before);
}

// Start-up up to the opening of the files; false when the process ended.
bool start_windows() {
    // A second start in one process (tests, tools) first releases the previous run's index.
    if (g_app.layer_spatial_index_id) extent_destroy(g_app.layer_spatial_index_id);
    reset_process_state();
    install_hooks();
    char dir[300];
    if (!executable_dir(dir, sizeof dir)) dir[0] = 0;
    if (dir[0]) sys_change_dir(dir);
    std::snprintf(g_app.output_dir, sizeof g_app.output_dir, "%s/output", dir);
    sys_make_dir(g_app.output_dir);
    g_status = 0;
    char log_name[400];
    std::snprintf(log_name, sizeof log_name, "%s/zz_%s.log", g_app.output_dir, "DORV");
    log_set_path(log_name);
    config_set_path("dorvane.cfg");
    scratch_sweep();
    app_init();
    if (!g_status) {
        g_uninterruptible = true;
        create_main_window();
    }
    if (!g_status) create_document_window();
    if (g_status) {
        init_failed();
        return false;
    }
    setup_document_view();
    create_palette(g_app.document_window_id);
    return true;
}

} // namespace

void make_window_object(PlatformWindow handle, int* out_id) {
    uint8_t red = 255, green = 255, blue = 255;
    read_background_colour(&red, &green, &blue);
    int id = window_object_create(handle, red, green, blue);
    if (g_status || !id) {
        if (!g_status) g_status = ST_SYSTEM;
        return;
    }
    *out_id = id;
    app_set_focus(handle);
    if (!g_app.timer_owner_id) g_app.timer_owner_id = id;
}

void app_init() {
    obj_reset();
    image_declare_classes();
    display_declare_classes();
    g_app.extent_id = world_extent_create(0.0, 0.0, 0.0, 0.0);
    if (!g_status) list_create(&g_app.page_list_id);
    if (!g_status) list_create(&g_app.layer_object_list_id);
    if (!g_status) extent_create(g_app.extent_id, &g_app.layer_spatial_index_id);
    if (!g_status) list_create(&g_app.file_list_id);
    if (g_status) return;
    g_app.error_picture_id = load_status_picture("erreur.png");
    g_app.unknown_picture_id = load_status_picture("inconnu.png");
    g_app.status_pictures[0] = 0;
    g_app.status_pictures[1] = g_app.error_picture_id;
    for (int i = 2; i < k_status_pictures; i++) g_app.status_pictures[i] = g_app.unknown_picture_id;
    obj_set_class_size(CLS_MESSAGE, sizeof(MessageRecord));
}

void init_failed() {
    int code = g_status;
    app_message_box("Erreur lors de l'initialisation\nFin de l'application",
                    "Erreur lors de l'initialisation");
    char text[64];
    std::snprintf(text, sizeof text, "Erreur d'init : %d", code);
    log_line(text);
    app_exit(1);
}

void shutdown_cleanup() {
    store_remove_all_swap();
}

bool app_start(const char* command_line) {
    if (!start_windows()) return false;
    if (command_line && command_line[0]) open_command_line(command_line);
    return !g_app.ended;
}

bool app_start_paths(int count, const char* const* paths) {
    if (!start_windows()) return false;
    if (count > 0) open_paths(count, paths);
    return !g_app.ended;
}
