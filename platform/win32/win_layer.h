// The Win32 layer: the main window of class "dorvane", the document window of class
// "fdocument" (a copy of the system EDIT class, subclassed), and the two platform tables
// over USER, GDI and the shell. Window handles are the platform handles the logic passes back.
#pragma once
#include "platform/app.h"
#include "platform/window.h"

#include <windows.h>

extern HINSTANCE g_win_instance;

inline HWND hwnd_of(PlatformWindow window) {
    return static_cast<HWND>(window);
}

// Window creation and procedures (win_windows.cpp).
PlatformWindow win_create_main_window(const char* title, PixelRect area);
PlatformWindow win_create_document_window(PlatformWindow parent, int width, int height);
HWND win_document_window();

// The two tables (win_app_ops.cpp, win_gdi.cpp).
const PlatformAppOps* win_app_ops();
const PlatformWindowOps* win_window_ops();
