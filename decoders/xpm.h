// X pixmap decoder: colour words and the X11 colour names they may use.
#pragma once
#include <cstdint>

// The X11 colour names, folded (lower case, no blanks, "grey" spelled "gray") and sorted, with
// their colours; the gray0 to gray100 ramp apart (decoders/xpm_colour_names.cpp, generated).
extern const int k_colour_name_count;
extern const char k_colour_names[];
extern const uint8_t k_colour_rgb[][3];
extern const uint8_t k_gray_ramp[101];

enum XpmColour { XPM_UNKNOWN, XPM_RGB, XPM_TRANSPARENT };

// Colour of a colour value: "#" and 3, 6, 9 or 12 hexadecimal digits, an X11 colour name in any
// letter case with or without blanks, or "None" (transparent).
XpmColour xpm_colour_value(const char* value, uint8_t rgb[3]);

// Colour of a colour line's text after its key: pairs of a context key ("c" colour, "g" grey,
// "g4" four-level grey, "m" mono, "s" symbolic) and a value of one or more words. The pair of
// the highest-ranking context (c, g, g4, m; s is never used) whose value is a known colour
// wins; XPM_UNKNOWN when none is.
XpmColour xpm_colour_line(const char* text, uint8_t rgb[3]);
