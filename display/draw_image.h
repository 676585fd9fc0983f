// The image draw handler (class 1): nearest-neighbour sampling of an image's rows into the
// frame buffer, from the reduced copy when ten or more source pixels fall on a window pixel.
#pragma once
#include "geo/rect.h"

struct Image;
struct View;
struct WindowObject;

constexpr int k_format_ecw = 16;

void draw_image(void* image_record, View* view, WindowObject* window, const Rect& zone);

// Where an image lands in the frame for a zone: the destination window rectangle (whole
// pixels, inside the frame), its first source position and the steps.
struct ImageMapping {
    int dx, dy, dw, dh;
    double source_x, source_y; // source position of the destination's top-left pixel
    double step_x, step_y;     // source pixels per window pixel
};
// False when the image draws nothing in the zone.
bool image_mapping(const Image* image, const View* view, const WindowObject* window,
                   const Rect& zone, ImageMapping* out);
// True when drawing the image writes every pixel of its destination (one plane, or three
// or more, and not an ECW image drawn by its reader).
bool image_is_opaque(const Image* image);

// Draws an ECW image's source rectangle into the destination window rectangle of the frame
// buffer (inside the current band): the ECW reader's region read unless replaced.
extern void (*g_ecw_draw_hook)(Image* image, const Rect& source, const Rect& destination);

// Whether draw_image reads the reduced copy at these steps (source pixels per window pixel).
bool uses_reduced_copy(const Image* image, double step_x, double step_y);
