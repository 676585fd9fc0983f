// The Win32 layer: its drawing table, its application table and its window procedures.
#pragma once
#include "platform/app.h"
#include "platform/window.h"

#include <windows.h>

void win32_install_window_ops();
void win32_install_app_ops(HINSTANCE instance);
