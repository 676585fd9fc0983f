// The vendor's ECW decompression library, found and linked at run time on first use: nothing
// links against it and no build needs it.
#pragma once
#include <cstdint>

// The library's functions use the C calling convention, also in the 32-bit Windows DLL, where
// the caller removes the arguments.
#if defined(_WIN32) && defined(__i386__)
#define ECW_CALL __attribute__((cdecl))
#else
#define ECW_CALL
#endif

// Its truth value: a byte on Windows, an int elsewhere.
#ifdef _WIN32
using EcwBoolean = uint8_t;
#else
using EcwBoolean = int;
#endif

// The leading fields of the library's file information record; nothing after them is read.
struct EcwFileInfo {
    uint32_t width;
    uint32_t height;
    uint16_t bands;
};

// The six operations, resolved by the names of the library's C interface. Each returns 0 on
// success. The view is the library's own opaque record.
struct EcwLibrary {
    // NCScbmOpenFileView: path, receives the view, refresh callback (none: blocking reads).
    int(ECW_CALL* open_view)(char* path, void** view, int (*refresh)(void* view));
    // NCScbmGetViewFileInfo: receives a pointer to the library's record.
    int(ECW_CALL* file_info)(void* view, EcwFileInfo** info);
    // NCScbmSetFileView: bands, band list, first column, first row, last column, last row
    // (inclusive), output width and height.
    int(ECW_CALL* set_view)(void* view, uint32_t band_count, uint32_t* band_list,
                            uint32_t first_column, uint32_t first_row, uint32_t last_column,
                            uint32_t last_row, uint32_t output_width, uint32_t output_height);
    // NCScbmReadViewLineBIL: one output row per band, output-width bytes each.
    int(ECW_CALL* read_line_bands)(void* view, uint8_t** lines);
    // NCScbmReadViewLineBGRA: output-width pixels, blue in the lowest byte, then green, red
    // and a zero byte: the frame buffer's (red << 16) | (green << 8) | blue.
    int(ECW_CALL* read_line_pixels)(void* view, uint32_t* pixels);
    // NCScbmCloseFileViewEx: true also frees the library's cache of the file.
    int(ECW_CALL* close_view)(void* view, EcwBoolean free_cache);
};

// Environment variable naming another file to load instead of the system's default library.
constexpr const char* k_ecw_library_variable = "DORVANE_ECW_LIBRARY";

// The library with all six operations, loading it on first use; nullptr while it cannot be
// found (each call tries again). *tried receives the name or path looked for.
const EcwLibrary* ecw_library(const char** tried);
