// Program entry: start-up through the shell, then the message loop.
#include "platform/report/paint_report.h"
#include "platform/win32/win_layer.h"
#include "shell/startup.h"

HINSTANCE g_win_instance = nullptr;

namespace {

// With the paint report on: after each message, once the document window has nothing left
// to paint, say where its client area is on the screen.
void report_paint() {
    HWND document = win_document_window();
    if (!document || GetUpdateRect(document, nullptr, FALSE)) return;
    POINT origin = {0, 0};
    ClientToScreen(document, &origin);
    paint_report_if_settled(origin.x, origin.y);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    g_win_instance = instance;
    platform_install(win_window_ops());
    platform_app_install(win_app_ops());
    if (!app_start(command_line)) return 1;
    bool report = paint_report_enabled();
    MSG message = {};
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (report) report_paint();
    }
    return static_cast<int>(message.wParam);
}
