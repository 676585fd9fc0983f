// Extent (class 33): the world bounds of what can be shown.
#pragma once
#include <cstdint>

struct Extent {
    int32_t id;
    double x0, y0, x1, y1;
};
