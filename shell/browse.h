// The file list in browse order: stepping to the next or previous entry with wrapping, finding
// the next loadable image (dropping what is not one) and loading it into the page list.
#pragma once

// Entry after e (direction -1: before e) in browse order, wrapping at the ends; e = 0 starts
// at the first (last) entry. 0 when the list is empty.
int next_entry(int direction, int entry_id);
// Next entry that is a raster image, examining unexamined entries on the way and removing
// every other kind from the file list. 0 when none is left.
int find_next_image_entry(int direction, int entry_id);
// Place of the entry in browse order among the entries that may be images, and their number
// (both 0 when the entry is none).
void list_place(int entry_id, int* place, int* count);
// Rebuilds the browse index over the file list; the next forward step shows the first entry.
void restart_browsing(int last_entry_before_adding);
// Empties the page list and loads the next image file into it; failures become a message.
void load_next_file(int step);
// Empties the page list, deleting what it holds.
void empty_page_list();
// Removes the entry from the file list and deletes it.
void drop_entry(int entry_id);
