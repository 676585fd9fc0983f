// Zoom: the discrete levels (powers of the square root of two), fitting the page into the
// window, and zooming about the window centre or about the pointer.
#pragma once

constexpr int k_max_magnification = 4;

// Square root of two to the power n (exact powers of two for even n).
double level_factor(int n);
// Rounds to the nearest integer, halves towards zero.
double round_half_towards_zero(double v);

void fit_to_window(int width, int height);
// The level indices go to the level nearest the scale; the view shows the exact scale,
// centred on the extent. The caller redraws.
void set_zoom(bool use_fit, double scale);
// After the window changed size: a page shown fitted (after loading, F4) is fitted to the
// new size and centred again; a page the user zoomed or moved keeps its scale and place.
void refit_after_resize();
void zoom_step(int steps);
void zoom_at_point(int x, int y, int steps);
void set_view_centre(double world_x, double world_y, double scale);
void set_view_origin(double origin_x, double origin_y, double scale);
// One level step on the zoom state; false when nothing changes.
bool level_step(int steps, double* new_scale);
