// Format display names, indexed by an image's format-name index.
#include "core/registry.h"
#include "core/status.h"
#include "image/file_entry.h"
#include "image/image.h"

namespace {
const char* const k_format_names[36] = {
    "BMP non compresse",
    "BMP compression RLE",
    "BMP compression Bitfields",
    "JPEG format JFIF",
    "JPEG format SPIFF",
    "GIF version 87a",
    "GIF version 89a",
    "GIF version inconnue",
    "TIFF non compresse",
    "TIFF CCITT-1D",
    "TIFF T4 (Group 3 Fax)",
    "TIFF T6 (Group 4 Fax)",
    "TIFF compression LZW",
    "TIFF-JPEG",
    "TIFF compression PackBits",
    "PNG",
    "XPixmap",
    "XBitmap",
    "PBM (ascii)",
    "PGM (ascii)",
    "PPM (ascii)",
    "PBM (rawbits)",
    "PGM (rawbits)",
    "PPM (rawbits)",
    "MrSID",
    "ECW",
    "PCX",
    "JPEG format Exif",
    "Sun Rasterfile",
    "Truevision Targa",
    " ",
    " ",
    "Fuji S5000 CCD-RAW",
    "BSB (Maptech Raster Chart)",
    "NOS/GEO (NOAA)",
    "NO1 (NOS/GEO (NOAA))",
};
} // namespace

const char* format_display_name(int index) {
    return (index >= 0 && index < 36) ? k_format_names[index] : "";
}

const char* image_format_name(int image_id) {
    Image* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!image) {
        g_status = ST_NOT_FOUND;
        return nullptr;
    }
    return format_display_name(image->format_name_index);
}
