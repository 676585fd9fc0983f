// Stepping through pages and files, putting a page on screen and titling it.
#pragma once

// step +1 forward, -1 backward, 2 from the frame timer, 3 at start-up.
void step_page(int step);
// Sets the extent around the page and puts it in the raster layer.
void show_page(int image_id);
// Sets the main window's title for the page (or the pending message) and fits the view to
// the page, unless keep_view asks to leave the zoom and position as they are.
void update_title(int image_id, int page_number, int page_count, bool keep_view = false);
// Place of the page among the current file's pages, from 1; 0 when it is not one of them.
int page_number(int page_id);
// Delay of an animation frame given in hundredths of a second, in milliseconds.
int frame_delay_ms(int hundredths);
