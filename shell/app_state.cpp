#include "shell/app_state.h"

AppIds g_app = {};
BrowseState g_browse = {};

void app_state_reset() {
    g_app = AppIds{};
    g_browse = BrowseState{};
}
