// Commands on the file list: Delete (optionally to the recycle bin) and dropped files.
#pragma once
#include "platform/app.h"

// Removes the current file from the list and shows the one that followed it.
void remove_current_entry(bool also_file);
void move_to_recycle_bin(const char* path);
// Adds the dropped names to the file list and restarts browsing at the first of them all.
void drop_files(PlatformDrop drop);
