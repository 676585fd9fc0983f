// Configuration, log, scratch directory and file-system helpers.
#pragma once
#include <cstdint>

const char* read_config_value(const char* key);
void read_background_colour(uint8_t* red, uint8_t* green, uint8_t* blue);
void config_set_path(const char* path);

void log_line(const char* text);
void log_set_path(const char* path);
const char* log_path();
// Receives every logged text as well (the decode tool prints them).
extern void (*g_log_observer)(const char* text);

void scratch_prefix(char* out, int size);
const char* scratch_directory();
// Root that holds the scratch directory ("c:/temp" on Windows, the temporary directory
// elsewhere); a null root restores the default. Also makes the next use check it again.
void scratch_set_root(const char* root);
const char* scratch_root();
// Removes the swap files that processes no longer running left in the scratch directory (at
// start-up, and when the directory is first used).
void scratch_sweep();

void file_kind(char* path, int* kind, int64_t* size);
void normalise_path(char* text);
void native_path(char* text);
// Lower-cased copy used wherever paths are compared or ordered.
void path_sort_key(const char* path, char* out, int size);

void memory_status(uint64_t* total_physical, uint64_t* total_page_file,
                   uint64_t* available_physical, uint64_t* available_page_file);
void set_priority(int mode);
