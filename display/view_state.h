// Process-wide state of the view geometry: which objects make up the document view, the
// zoom levels and the keyboard scroll ranges.
#pragma once
#include <cstdint>

// Filled by start-up and by showing a page.
struct DisplayIds {
    int main_window_id;
    int document_window_id;
    int view_id;
    int shown_page_id; // image whose size the fit is computed from; 0 when none
};
extern DisplayIds g_display;

struct ZoomState {
    double fit_scale;    // fits the shown page, at most 1.0
    int magnification;   // 0 to 4
    int reduction;       // 0 and up; at most one of the two is non-zero after a step
    int reduction_limit; // smallest n with 1 / f(n) <= fit scale
    bool fitted;         // the view shows the page at the fit scale, centred: a resize refits
};
extern ZoomState g_zoom;

// Positions and ranges in scaled world units (world x scale), rounded.
struct ScrollAxis {
    int64_t position, minimum, maximum, page;
};
struct ScrollState {
    ScrollAxis horizontal, vertical;
};
extern ScrollState g_scroll;

struct DragAnchor {
    int x, y;
};
extern DragAnchor g_drag_anchor;

// Forgets every piece of this state (start-up and tests).
void view_state_reset();

struct WindowObject;
struct View;
struct Extent;
// The document window object, its view and the view's extent; status 10 when one is missing.
bool document_view_parts(WindowObject** window, View** view, Extent** extent);
