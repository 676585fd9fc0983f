// Tokenizers over a zero-terminated text and a cursor into it, shared by the X pixmap colour
// lines and the command line. Blanks are tab, line feed, carriage return and space.
#pragma once
#include <cstddef>

// Skips blanks; the word runs to the next blank or the end of the text. When it fits in out
// (length + 1 <= size) it is copied and the cursor moves past it; otherwise out is empty and
// the cursor stays at the word's start. Returns the word's length either way (0: no word).
size_t token_word(const char** cursor, char* out, size_t size);

// Skips everything that is not a digit (signs included); a run of 1 to 14 digits is the value
// and the cursor moves past it. An empty or longer run gives 0, the cursor at its start.
long long token_number(const char** cursor);

// Skips to the first double quote and copies what follows up to the next one, keeping at most
// size - 1 characters. The cursor moves past the closing quote, or to the end of the text when
// there is none; without an opening quote out is empty and the cursor is at the end. Returns
// the length of the whole quoted text, including what was dropped.
size_t token_quoted(const char** cursor, char* out, size_t size);
