// Pixels of three interleaved bytes split into three planes, as the BMP and PNM decoders store
// them (the BMP decoder passes its blue, green and red planes in file order).
#pragma once
#include <cstdint>

void split_three_planes(const uint8_t* pixels, uint8_t* first, uint8_t* second, uint8_t* third,
                        int count);
