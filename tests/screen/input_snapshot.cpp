// input-snapshot [--size WxH] [--input SCRIPT] [--out FILE.ppm] PATHS...
// The headless program played with keys and mouse input, for the on-screen tests: starts it
// with the paths, plays the script, prints the title and writes the document window as PPM.
// Script words: key names as xdotool spells them ("space", "shift+space", "ctrl+Delete",
// "KP_Add", "F3", ...), "drag:X0,Y0,X1,Y1" (left button), "dblclick:X,Y" and "rdblclick:X,Y"
// in document window coordinates, and "drop:PATH,PATH..." (files dropped on the window).
#include "platform/headless/headless_app.h"
#include "platform/headless/headless_window.h"
#include "platform/sys.h"
#include "platform/sys_dir.h"
#include "shell/messages.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t k_settle_ms = 5000;

struct KeyName {
    const char* name;
    int virtual_key;
};

const KeyName k_keys[] = {
    {"Escape", VKEY_ESCAPE},
    {"space", VKEY_SPACE},
    {"Prior", VKEY_PAGE_UP},
    {"Next", VKEY_PAGE_DOWN},
    {"End", VKEY_END},
    {"Home", VKEY_HOME},
    {"Left", VKEY_LEFT},
    {"Up", VKEY_UP},
    {"Right", VKEY_RIGHT},
    {"Down", VKEY_DOWN},
    {"Delete", VKEY_DELETE},
    {"KP_Add", VKEY_ADD},
    {"KP_Subtract", VKEY_SUBTRACT},
    {"F1", VKEY_F1},
    {"F2", VKEY_F2},
    {"F3", VKEY_F3},
    {"F4", VKEY_F4},
    {"F7", VKEY_F7},
    {"F8", VKEY_F8},
    {"F12", VKEY_F12},
};

bool play_key(std::string word) {
    int modifiers = MOD_NONE;
    for (;;) {
        if (word.compare(0, 6, "shift+") == 0) {
            modifiers |= MOD_SHIFT;
            word.erase(0, 6);
        } else if (word.compare(0, 5, "ctrl+") == 0) {
            modifiers |= MOD_CTRL;
            word.erase(0, 5);
        } else {
            break;
        }
    }
    for (const KeyName& k : k_keys) {
        if (word == k.name) {
            headless_key(k.virtual_key, modifiers);
            return true;
        }
    }
    return false;
}

bool play_word(const std::string& word) {
    int a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(word.c_str(), "drag:%d,%d,%d,%d", &a, &b, &c, &d) == 4) {
        headless_left_down(a, b);
        headless_mouse_move(c, d, true);
        headless_left_up(c, d);
    } else if (std::sscanf(word.c_str(), "dblclick:%d,%d", &a, &b) == 2) {
        headless_left_double_click(a, b);
    } else if (std::sscanf(word.c_str(), "rdblclick:%d,%d", &a, &b) == 2) {
        headless_right_double_click(a, b);
    } else if (word.compare(0, 5, "drop:") == 0) {
        std::vector<std::string> names;
        std::istringstream list(word.substr(5));
        for (std::string name; std::getline(list, name, ',');)
            if (!name.empty()) names.push_back(name);
        headless_drop(names);
    } else if (!play_key(word)) {
        return false;
    }
    headless_run_until_idle(k_settle_ms);
    return true;
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[4096];
    if (!sys_current_dir(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

} // namespace

int main(int argc, char** argv) {
    int width = 640, height = 480;
    std::string script, out, line;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 ||
                width > 16384 || height > 16384)
                return 2;
        } else if (arg == "--input" && i + 1 < argc) {
            script = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            out = absolute(argv[++i]);
        } else {
            if (!line.empty()) line += ' ';
            line += absolute(arg); // the tests' paths hold no blanks
        }
    }
    char dir[4096];
    headless_app_reset();
    if (sys_executable_dir(dir, sizeof dir)) headless_app_set_executable_dir(dir);
    headless_app_set_work_area(width, height);
    if (headless_app_start(line.c_str())) {
        headless_run_until_idle(k_settle_ms);
        std::istringstream words(script);
        for (std::string word; words >> word;) {
            if (!play_word(word)) {
                std::fprintf(stderr, "input-snapshot: unknown input '%s'\n", word.c_str());
                return 2;
            }
        }
    }
    std::printf("%s\n", headless_title().c_str());
    if (!out.empty() && headless_document_window() &&
        !headless_write_ppm(headless_document_window(), out.c_str()))
        return 1;
    return 0;
}
