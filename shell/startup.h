// Start-up: working and output directories, the object classes, the status pictures, the two
// windows with the document view, the command line and the first image; and the two ways out.
#pragma once
#include "platform/window.h"

// Runs start-up with the command line (nullptr or "" for none). Returns false when the process
// ended during it; otherwise the layer runs its message loop.
bool app_start(const char* command_line);
// The same with the paths already apart (as a shell hands them over): each one is one name,
// blanks and quotes included.
bool app_start_paths(int count, const char* const* paths);
// Classes, the extent, the lists and the status pictures; leaves the status set on failure.
void app_init();
// Window object for a platform window with the configured background; the first one made
// receives the timers. Registry failures leave the status set.
void make_window_object(PlatformWindow handle, int* out_id);
// Message box, log line "Erreur d'init : %d", exit code 1.
void init_failed();
// Removes every row store's swap files.
void shutdown_cleanup();
