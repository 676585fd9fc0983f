#!/usr/bin/env python3
"""Writes decoders/xpm_colour_names.cpp, the X11 colour names that X pixmap colour lines may use,
from the public X11 colour list.

    python3 tools/make_colour_names.py /usr/share/X11/rgb.txt > decoders/xpm_colour_names.cpp

Names are stored folded as the decoder looks them up: lower case, blanks removed, "grey"
spelled "gray"; the list holds the same colours under those spellings. The gray0 to gray100
ramp is kept apart as 101 levels.
"""
import re
import sys


def main(path):
    colours = {}
    for line in open(path, encoding="latin-1"):
        if line.startswith("!"):
            continue
        fields = line.split()
        if len(fields) < 4:
            continue
        rgb = tuple(int(v) for v in fields[:3])
        name = "".join(fields[3:]).lower().replace("grey", "gray")
        if colours.setdefault(name, rgb) != rgb:
            sys.exit("two colours for " + name)
    ramp = [colours.pop("gray%d" % i)[0] for i in range(101)]
    names = sorted(colours)
    out = [
        "// X11 colour names for X pixmap colour lines. Generated from the X11 colour list (rgb.txt)",
        "// by tools/make_colour_names.py; remake it with",
        "//     python3 tools/make_colour_names.py /usr/share/X11/rgb.txt > decoders/xpm_colour_names.cpp",
        '#include "decoders/xpm.h"',
        "",
        "// clang-format off",
        "const int k_colour_name_count = %d;" % len(names),
        "",
        "// Folded names, sorted, each ended by a zero byte.",
        "const char k_colour_names[] =",
    ]
    line = "   "
    for name in names:
        piece = ' "%s\\0"' % name
        if len(line) + len(piece) > 99:
            out.append(line)
            line = "   "
        line += piece
    out.append(line + ";")
    out += ["", "// Red, green and blue of each name, in the same order.",
            "const uint8_t k_colour_rgb[][3] = {"]
    row = "   "
    for name in names:
        piece = " {%d,%d,%d}," % colours[name]
        if len(row) + len(piece) > 99:
            out.append(row)
            row = "   "
        row += piece
    out += [row, "};", "", "// Level of gray0 to gray100 (the same in red, green and blue).",
            "const uint8_t k_gray_ramp[101] = {"]
    for i in range(0, 101, 15):
        out.append("    " + " ".join("%d," % v for v in ramp[i:i + 15]))
    out += ["};", "// clang-format on", ""]
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "/usr/share/X11/rgb.txt")
