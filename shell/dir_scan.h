// The recursive directory scan: every file below a directory becomes an unexamined file entry
// and every directory an entry of kind 1, walked by a (state, event) table.
#pragma once

// Status 15 when the directory cannot be entered. Afterwards the working directory is the
// scanned directory's parent.
void scan_directory(const char* path, int* list_holder);
