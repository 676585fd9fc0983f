// Independent decoders the tests compare pages with: Pillow through /usr/bin/python3 and
// ImageMagick as /usr/bin/convert (a bare `convert` on the PATH may be a stand-in). Each gives
// the picture as 8-bit RGB, or an empty picture (width 0) when the tool fails.
#pragma once
#include "support/pnm_files.h"

#include <string>
#include <vector>

// A shell command, its error output dropped; true when it succeeds.
bool run_command(const std::string& command);
bool have_pillow();
bool have_magick();
// The file (the first frame of an animation) as Pillow shows it in RGB, 16-bit grey by its
// high byte; `oriented` applies the Exif orientation first. Truncated files give what Pillow
// decoded of them.
Rgb pillow_rgb(const std::string& path, bool oriented = false);
// The first image of the file as ImageMagick converts it to 8-bit RGB (what it decoded of a
// damaged file); `options` come before the file (settings such as "-define jpeg:...").
Rgb magick_rgb(const std::string& path, const std::string& options = "");
// Every frame of an animation as ImageMagick coalesces it, over a white canvas (where its
// canvas is transparent); empty when the tool fails.
std::vector<Rgb> magick_frames_on_white(const std::string& path);
// Pixels with a sample more than `tolerance` apart; -1 when the sizes differ or one is empty.
long rgb_differing(const Rgb& a, const Rgb& b, int tolerance = 0);
