// Bounds on the images a decoder may set up. A declared size is refused before anything is
// allocated when the paged store cannot hold it or when the file is too small to supply it,
// so that a forged header cannot make a decoder fill memory or the disk.
#pragma once
#include <cstdint>

// A further bound on the bytes of one image's rows; none unless set (fuzz harnesses lower it).
extern int64_t g_max_image_bytes;

// True when the store can page width x height with the given planes (rows padded to 4 bytes);
// sizes of zero or below are never acceptable.
bool image_size_acceptable(int64_t width, int64_t height, int planes);
// True when a file of that many bytes can supply width x height pixels, where the format's
// coding can give at most `pixels_per_byte` pixels for each byte of the file.
bool image_size_supplied(int64_t width, int64_t height, int64_t file_bytes,
                         int64_t pixels_per_byte);
// The same for images whose rows are decoded on demand and dropped under pressure, never
// swapped: the disk need not hold them.
bool on_demand_size_acceptable(int64_t width, int64_t height, int planes);
