#include "shell/page_step.h"
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/layers.h"
#include "display/records.h"
#include "display/scroll.h"
#include "display/view_state.h"
#include "display/zoom.h"
#include "image/file_entry.h"
#include "image/frame_control.h"
#include "image/image.h"
#include "shell/app_state.h"
#include "shell/app_windows.h"
#include "shell/browse.h"
#include "shell/process.h"
#include "shell/status_display.h"
#include "shell/timers.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int k_endless_loop = 65535;

int first_page() {
    int id = 0;
    list_next_of_class(g_app.page_list_id, CLS_IMAGE, &id);
    return id;
}

int last_page() {
    int id = 0;
    list_last_of_class(g_app.page_list_id, CLS_IMAGE, &id);
    return id;
}

// The page after (direction -1: before) the given one; after none comes the first page.
int neighbour_page(int page_id, int direction) {
    int id = page_id;
    if (direction == -1)
        list_prev_of_class(g_app.page_list_id, CLS_IMAGE, &id);
    else
        list_next_of_class(g_app.page_list_id, CLS_IMAGE, &id);
    return id;
}

// Whether the current file is an animation: its pages carry frame control records.
bool file_is_animated() {
    int id = 0;
    list_next_of_class(g_app.page_list_id, CLS_FRAME_CONTROL, &id);
    return id != 0;
}

FrameControl* frame_control_of(int page_id) {
    int id = 0;
    while (auto* fc = static_cast<FrameControl*>(
               list_next_of_class(g_app.page_list_id, CLS_FRAME_CONTROL, &id))) {
        if (!id) break;
        if (fc->page_id == page_id) return fc;
    }
    return nullptr;
}

void schedule_next_frame(int step) {
    FrameControl* fc = frame_control_of(g_browse.current_page_id);
    if (!fc) return;
    g_browse.frame_delay_ms = frame_delay_ms(fc->delay);
    g_browse.animating = true;
    bool by_timer = step == 2;
    if (g_browse.current_page_id != last_page()) {
        if (by_timer || g_browse.page_counter == 1)
            schedule_timer(TIMER_FRAME, g_browse.frame_delay_ms);
        else
            schedule_timer(TIMER_REDRAW, 0);
        return;
    }
    if (fc->loop_count != k_endless_loop && fc->loop_count > 0) fc->loop_count--;
    if (fc->loop_count == 0) {
        g_browse.animating = false;
        return;
    }
    g_browse.page_counter = 0;
    g_browse.pass_counter++;
    if (by_timer)
        schedule_timer(TIMER_FRAME, g_browse.frame_delay_ms);
    else
        schedule_timer(TIMER_REDRAW, 0);
}

} // namespace

int frame_delay_ms(int hundredths) {
    // Browsers play 0 and 1 hundredths at a tenth of a second; so does this viewer.
    if (hundredths <= 1) return 100;
    return hundredths * 10;
}

void show_page(int image_id) {
    auto* extent = obj_find_as<Extent>(CLS_EXTENT, g_app.extent_id);
    auto* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!extent || !image || !obj_find(CLS_LAYER, g_app.raster_layer_id)) {
        g_status = ST_NOT_FOUND;
        return;
    }
    extent->x0 = -20.0;
    extent->y0 = -20.0;
    extent->x1 = image->width + 19.0;
    extent->y1 = image->height + 19.0;
    g_display.shown_page_id = image_id;
    layer_add_object(CLS_IMAGE, image_id, g_app.raster_layer_id);
}

int page_number(int page_id) {
    int number = 0, id = 0;
    while (list_next_of_class(g_app.page_list_id, CLS_IMAGE, &id) && id) {
        number++;
        if (id == page_id) return number;
    }
    return 0;
}

void update_title(int image_id, int page_number, int page_count, bool keep_view) {
    auto* window = obj_find_as<WindowObject>(CLS_WINDOW, g_app.document_window_id);
    auto* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!window || !image) {
        app_fail("Erreur System");
        return;
    }
    fit_to_window(window->client_width, window->client_height);
    char title[700];
    const char* message = page_list_message();
    if (message) {
        std::snprintf(title, sizeof title, "%s", message);
        set_view_origin(20.0, 20.0, 1.0);
    } else {
        image = obj_find_as<Image>(CLS_IMAGE, image_id);
        std::snprintf(title, sizeof title, "%s - %d x %d pixels - %d x %d bits - %s",
                      image->path ? image->path : "", image->width, image->height,
                      image->samples_per_pixel, image->bits_per_sample,
                      image_format_name(image_id));
        if (page_count > 1) {
            size_t n = std::strlen(title);
            std::snprintf(title + n, sizeof title - n, " - page %d/%d", page_number, page_count);
        }
        int place = 0, count = 0;
        list_place(g_browse.current_entry_id, &place, &count);
        if (place) {
            size_t n = std::strlen(title);
            std::snprintf(title + n, sizeof title - n, " - [%d/%d]", place, count);
        }
        if (!keep_view) set_zoom(true, 0.0);
    }
    set_main_title(title);
    if (g_status) app_fail("Erreur System");
}

void step_page(int step) {
    set_busy_cursor(1);
    cancel_timer(TIMER_FRAME);
    int file_count = list_count(g_app.file_list_id, CLS_FILE_ENTRY);
    if (file_count == 0) return;
    int page_count = list_count(g_app.page_list_id, CLS_IMAGE);
    if (file_count == 1 && page_count == 1 && g_browse.current_page_id) return;
    if (g_browse.current_page_id) {
        layer_remove_object(g_browse.current_page_id, g_app.raster_layer_id);
        g_display.shown_page_id = 0;
        if (g_status) {
            app_fail("Erreur Systeme");
            return;
        }
    }
    // Pages are stepped only while the page list belongs to a file: after files were added
    // (no current entry) the next step loads the first of them. Space steps the frames of an
    // animation's first pass but never wraps: from the last frame it goes on to the next file.
    bool first_pass = g_browse.pass_counter == 0 && step != -1 && g_browse.animating &&
                      page_count > 1 && g_browse.current_page_id != last_page();
    bool page_stepping = g_browse.current_entry_id && (step == 2 || file_count == 1 || first_pass);
    if (page_stepping) {
        if (g_browse.current_page_id == last_page()) g_browse.current_page_id = 0;
        g_browse.current_page_id = neighbour_page(g_browse.current_page_id, step == -1 ? -1 : 1);
    } else {
        g_browse.current_page_id = 0;
    }
    bool loaded = false;
    if (!g_browse.current_page_id) {
        bool keep_file = g_browse.current_entry_id && list_count(g_app.file_list_id, 0) < 2 &&
                         list_count(g_app.page_list_id, 0) > 0;
        if (!keep_file) {
            load_next_file(step);
            loaded = true;
        }
        if (g_app.ended) return;
        g_browse.page_counter = 0;
        g_browse.current_page_id = first_page();
    }
    page_count = list_count(g_app.page_list_id, CLS_IMAGE);
    if (g_browse.current_page_id) {
        g_browse.page_counter++;
        show_page(g_browse.current_page_id);
        if (g_status) {
            app_fail("Erreur System");
            return;
        }
        // The frames of one animation keep the zoom and position the user chose; a fitted view
        // is fitted to each frame (a frame may have grown the page).
        bool keep_view = !loaded && file_is_animated() && !g_zoom.fitted;
        update_title(g_browse.current_page_id, page_number(g_browse.current_page_id), page_count,
                     keep_view);
        if (g_app.ended) return;
    } else if (const char* message = page_list_message()) {
        // A failure with no picture to show still says what happened.
        set_main_title(message);
    }
    // The first step leaves the drawing to the first paint, but panning needs its ranges.
    if (step != 3)
        refresh_view();
    else
        update_scroll_ranges();
    schedule_next_frame(step);
}
