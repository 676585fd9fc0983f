// Ctrl+Delete moves the file to the desktop trash (the freedesktop.org trash layout, as GLib
// implements it); the file is never deleted outright.
#include "platform/sdl/sdl_layer.h"

#include <gio/gio.h>
#include <cstdio>

bool sdl_move_to_trash(const char* path) {
    GFile* file = g_file_new_for_path(path);
    GError* error = nullptr;
    gboolean moved = g_file_trash(file, nullptr, &error);
    if (!moved) {
        std::fprintf(stderr, "dorvane: %s: %s\n", path, error ? error->message : "trash failed");
        if (error) g_error_free(error);
    }
    g_object_unref(file);
    return moved;
}
