// Report of complete paints, for the on-screen tests and the first-paint benchmark. With the
// environment variable DORVANE_REPORT_PAINT set, a line goes to stderr each time pixels were
// copied to the document window and nothing is left to draw:
//   dorvane: painted MS ms at X,Y size WxH
// MS counts from the process start; X,Y is the document client area's screen position.
#pragma once

bool paint_report_enabled();
// Called by the layer for every copy or fill that reached the document window.
void paint_report_drawn();
// Called by the layer after each dispatched message, when no paint is waiting in its queue.
void paint_report_if_settled(int screen_x, int screen_y);
