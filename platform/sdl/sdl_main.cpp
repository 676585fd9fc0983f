// dorvane PATHS...: the viewer on SDL2. Paths are taken relative to where it is started.
#include "platform/sdl/sdl_layer.h"
#include "platform/sys_dir.h"
#include "shell/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[4096];
    if (!sys_current_dir(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "dorvane: no display to open a window on; "
                             "build/tools/dorvane-snapshot shows what the viewer would draw\n");
        return 1;
    }
    // The display draws into a kept 32-bit surface; the X11 shared-memory surface serves it
    // best, and SDL would otherwise open an OpenGL context just to choose between the two.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr,
                     "dorvane: cannot open a window (%s); "
                     "build/tools/dorvane-snapshot shows what the viewer would draw\n",
                     SDL_GetError());
        return 1;
    }
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    // The shell has already split the command line: every argument is one path.
    std::vector<std::string> paths;
    for (int i = 1; i < argc; i++) paths.push_back(absolute(argv[i]));
    std::vector<const char*> names;
    for (const std::string& p : paths) names.push_back(p.c_str());
    platform_install(sdl_window_ops());
    platform_app_install(sdl_app_ops());
    if (!app_start_paths(static_cast<int>(names.size()), names.data())) return 1;
    return sdl_run_loop();
}
