// The platform handles behind the window objects, and the main window's title.
#pragma once
#include "platform/window.h"

PlatformWindow window_handle(int window_object_id);
void set_main_title(const char* text);
