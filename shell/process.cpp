#include "shell/process.h"
#include "platform/app.h"
#include "shell/app_state.h"
#include "core/services.h"

void app_exit(int code) {
    if (g_app.ended) return;
    g_app.ended = true;
    app_exit_process(code);
}

void app_fail(const char* log_text) {
    if (g_app.ended) return;
    log_line(log_text);
    app_exit(-1);
}
