// World, image and window rectangles: x0 <= x1 and y0 <= y1 once ordered.
#pragma once

struct Rect {
    double x0, y0, x1, y1;
};

inline double rect_min(double a, double b) {
    return a < b ? a : b;
}
inline double rect_max(double a, double b) {
    return a > b ? a : b;
}

// Rectangle spanned by two corners given in any order.
inline Rect rect_from_corners(double ax, double ay, double bx, double by) {
    return Rect{rect_min(ax, bx), rect_min(ay, by), rect_max(ax, bx), rect_max(ay, by)};
}

// Touching counts: the intervals are closed.
inline bool rect_touches(const Rect& a, const Rect& b) {
    return a.x0 <= b.x1 && a.x1 >= b.x0 && a.y0 <= b.y1 && a.y1 >= b.y0;
}

// Only a common area counts: the intervals are open.
inline bool rect_overlaps_area(const Rect& a, const Rect& b) {
    return a.x0 < b.x1 && a.x1 > b.x0 && a.y0 < b.y1 && a.y1 > b.y0;
}

inline Rect rect_intersection(const Rect& a, const Rect& b) {
    return Rect{rect_max(a.x0, b.x0), rect_max(a.y0, b.y0), rect_min(a.x1, b.x1),
                rect_min(a.y1, b.y1)};
}

inline bool rect_has_area(const Rect& r) {
    return r.x0 < r.x1 && r.y0 < r.y1;
}

inline bool rect_contains(const Rect& outer, const Rect& inner) {
    return outer.x0 <= inner.x0 && outer.y0 <= inner.y0 && outer.x1 >= inner.x1 &&
           outer.y1 >= inner.y1;
}
