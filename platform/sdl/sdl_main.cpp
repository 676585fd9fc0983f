// dorvane PATHS...: the viewer on SDL2. Paths are taken relative to where it is started.
#include "platform/sdl/sdl_layer.h"
#include "platform/sys_dir.h"
#include "shell/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[4096];
    if (!sys_current_dir(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

// The shell reads a quoted name only at the very start of its command line; later names end
// at the first blank.
std::string command_line_of(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; i++) {
        std::string path = absolute(argv[i]);
        bool blanks = path.find_first_of(" \t\r\n") != std::string::npos;
        if (line.empty() && blanks) {
            line = '"' + path + '"';
        } else if (blanks) {
            std::fprintf(stderr, "dorvane: only the first path may hold blanks, skipped: %s\n",
                         path.c_str());
        } else {
            if (!line.empty()) line += ' ';
            line += path;
        }
    }
    return line;
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
    std::string line = command_line_of(argc, argv);
    platform_install(sdl_window_ops());
    platform_app_install(sdl_app_ops());
    if (!app_start(line.c_str())) return 1;
    return sdl_run_loop();
}
