// Process-wide state of the application: the objects start-up creates, the browsing position
// and the window-message state. Ids are registry ids, 0 meaning none.
#pragma once
#include <cstdint>

constexpr int k_status_pictures = 16;

struct AppIds {
    int main_window_id;
    int document_window_id;
    int view_id;
    int extent_id;
    int raster_layer_id;
    int layer_object_list_id;
    int layer_spatial_index_id;
    int file_list_id;
    int page_list_id; // what belongs to the current file: pages, frame records, a message
    int error_picture_id;
    int unknown_picture_id;
    int status_pictures[k_status_pictures];
    int timer_owner_id;   // window object of the window that receives the timers
    char output_dir[320]; // the executable's directory (at most 299 characters) and "/output"
    bool ended;           // the process ended (a layer that records the exit keeps running)
};
extern AppIds g_app;

struct BrowseState {
    int browse_index_id;
    int current_entry_id;
    int current_page_id;
    int page_counter;
    int pass_counter;
    bool animating;
    int frame_delay_ms;
};
extern BrowseState g_browse;

// Clears both records (start-up).
void app_state_reset();

// The program's title while no image is shown.
constexpr const char* k_program_title = "Dorvane v2.1.1";
