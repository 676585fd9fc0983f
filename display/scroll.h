// Scrolling: the keyboard scroll ranges, panning by keys and by dragging, and moving the
// window contents so that only the uncovered strip is drawn again.
#pragma once

enum PanCode {
    PAN_UP = 0,
    PAN_DOWN = 1,
    PAN_PAGE_UP = 2,
    PAN_PAGE_DOWN = 3,
    PAN_TOP = 4,
    PAN_BOTTOM = 5,
    PAN_NONE = 6,
    PAN_LEFT = 7,
    PAN_RIGHT = 8,
    PAN_PAGE_LEFT = 9,
    PAN_PAGE_RIGHT = 10,
    PAN_LEFT_END = 11,
    PAN_RIGHT_END = 12,
    PAN_NONE_2 = 13,
    PAN_CODE_COUNT = 14,
};

void update_scroll_ranges();
void pan(int code);
void scroll_by(int window_id, int view_id, int dx, int dy);
void drag(int x, int y, bool moving);
void window_resized();
void refresh_view();
