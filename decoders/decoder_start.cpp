#include "decoders/decoder_start.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/services.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/decode_limits.h"
#include "image/image.h"

#include <string>

Image* decoder_start(int image_id, long buffer_size) {
    Image* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!image) {
        g_status = ST_NOT_FOUND;
        return nullptr;
    }
    if (rd_open(image->file_entry_id, buffer_size, true) != 0) {
        if (!g_status) g_status = ST_FILE; // else the window could not be had (status 1)
        return nullptr;
    }
    return image;
}

Image* decoder_alloc(int image_id, int64_t width, int64_t height, int planes, const char* format) {
    if (!image_size_acceptable(width, height, planes)) {
        bool empty = width < 1 || height < 1;
        decoder_refuse(
            empty ? ST_BAD_DATA : ST_NO_MEMORY,
            (std::string(format) + (empty ? " : dimensions invalides" : " : image trop grande"))
                .c_str());
        return nullptr;
    }
    Image* image = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (image)
        image_alloc(image, static_cast<int>(width), static_cast<int>(height), planes, STORE_PLAIN);
    if (g_status || !image) {
        g_status = ST_NO_MEMORY;
        return nullptr;
    }
    return obj_find_as<Image>(CLS_IMAGE, image_id);
}

void decoder_refuse(int status, const char* why) {
    log_line(why);
    g_status = status;
}
