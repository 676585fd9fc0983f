// Steps that the file decoders share: their start, and the refusal of a file they cannot show.
#pragma once
#include <cstdint>

struct Image;

// The image by id (status 10 when it is gone), its file made the reader's current one through
// a window of buffer_size bytes, from the start (status 2 when it cannot be opened).
Image* decoder_start(int image_id, long buffer_size);

// Rows for width x height pixels of `planes` planes in a plain store. Returns the image again
// (creating the stores may move records), or null with status 14 for a size of zero or below,
// 1 for a size past the pixel-memory bound or when memory runs out, the reason logged after
// the format's name.
Image* decoder_alloc(int image_id, int64_t width, int64_t height, int planes, const char* format);

// Logs why the file is refused and sets the status.
void decoder_refuse(int status, const char* why);
