// Pixels of three interleaved bytes split into three planes, as the BMP and PNM decoders store
// them (the BMP decoder passes its blue, green and red planes in file order).
#pragma once
#include <cstdint>

void split_three_planes(const uint8_t* pixels, uint8_t* first, uint8_t* second, uint8_t* third,
                        int count);

// The same for samples of two bytes, most significant first, over the whole 0..65535 range:
// each becomes the nearest of 0..255 (v * 255 / 65535 rounded).
void split_three_wide_planes(const uint8_t* pixels, uint8_t* first, uint8_t* second, uint8_t* third,
                             int count);
