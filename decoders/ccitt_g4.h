// CCITT Group 4 (two-dimensional T.6 coding) rows: one byte per pixel, 0 white and 1 black.
#pragma once
#include "decoders/tiff.h"

struct G4Decoder;

// A decoder for lines of the given width over the feed's bytes; reversed_bits reads each byte
// least significant bit first (fill order 2). Status 1 when its memory cannot be had.
G4Decoder* g4_open(TiffFeed* feed, int width, bool reversed_bits);
// The next row into out (width bytes). False with status 14 on a coding error, false without
// a status when the bytes end before the row does.
bool g4_row(G4Decoder* g4, uint8_t* out);
void g4_close(G4Decoder*& g4);
