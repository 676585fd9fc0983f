// dorvane-snapshot [--size WxH] [--keys SCRIPT] [--out FILE.ppm] PATHS...
// Starts the viewer on the headless layer with the paths (each argument one path), plays the
// script, runs until idle, prints the title and writes the document window as a PPM file.
// Script words: key names, in any case, after optional "Shift+" / "Ctrl+" ("Space",
// "shift+space", "Ctrl+Delete", "KP_Add", "plus", "F3", ...); "wait:MS"; in document window
// coordinates, "drag:X0,Y0,X1,Y1" (left button), "dblclick:X,Y", "rdblclick:X,Y" and
// "wheel:X,Y,NOTCHES" (negative turns the wheel towards the user); "drop:PATH,PATH..." (files
// dropped on the window); and "size:WxH" (the user resizes the window's client area).
#include "platform/headless/headless_app.h"
#include "platform/headless/headless_window.h"
#include "platform/sys.h"
#include "platform/sys_dir.h"
#include "shell/messages.h"

#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t k_settle_ms = 5000;

struct KeyName {
    const char* name;
    int virtual_key;
};

const KeyName k_key_names[] = {
    {"Esc", VKEY_ESCAPE},     {"Escape", VKEY_ESCAPE},
    {"Space", VKEY_SPACE},    {"PageUp", VKEY_PAGE_UP},
    {"Prior", VKEY_PAGE_UP},  {"PageDown", VKEY_PAGE_DOWN},
    {"Next", VKEY_PAGE_DOWN}, {"End", VKEY_END},
    {"Home", VKEY_HOME},      {"Left", VKEY_LEFT},
    {"Up", VKEY_UP},          {"Right", VKEY_RIGHT},
    {"Down", VKEY_DOWN},      {"Delete", VKEY_DELETE},
    {"KP_Add", VKEY_ADD},     {"KP_Subtract", VKEY_SUBTRACT},
    {"F1", VKEY_F1},          {"F2", VKEY_F2},
    {"F3", VKEY_F3},          {"F4", VKEY_F4},
    {"F7", VKEY_F7},          {"F8", VKEY_F8},
    {"F12", VKEY_F12},        {"plus", VKEY_OEM_PLUS},
    {"equal", VKEY_OEM_PLUS}, {"minus", VKEY_OEM_MINUS},
};

bool valid_size(int width, int height) {
    return width >= 1 && height >= 1 && width <= 16384 && height <= 16384;
}

int usage() {
    std::fprintf(stderr, "usage: dorvane-snapshot [--size WxH] [--keys SCRIPT] [--out FILE.ppm] "
                         "PATHS...\n");
    return 2;
}

// Key names as xdotool and people spell them: case does not matter.
bool same_name(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int key_code(const std::string& name) {
    for (const KeyName& k : k_key_names)
        if (same_name(name, k.name)) return k.virtual_key;
    return 0;
}

bool play_key(std::string word) {
    int modifiers = MOD_NONE;
    for (;;) {
        if (word.size() > 6 && same_name(word.substr(0, 6), "Shift+")) {
            modifiers |= MOD_SHIFT;
            word.erase(0, 6);
        } else if (word.size() > 5 && same_name(word.substr(0, 5), "Ctrl+")) {
            modifiers |= MOD_CTRL;
            word.erase(0, 5);
        } else {
            break;
        }
    }
    int code = key_code(word);
    if (!code) return false;
    headless_key(code, modifiers);
    return true;
}

// Plays one word of the script, then lets the program settle.
bool play_word(const std::string& word) {
    int a = 0, b = 0, c = 0, d = 0;
    if (word.compare(0, 5, "wait:") == 0) {
        headless_run_for(static_cast<uint32_t>(std::strtoul(word.c_str() + 5, nullptr, 10)));
        return true;
    }
    if (std::sscanf(word.c_str(), "drag:%d,%d,%d,%d", &a, &b, &c, &d) == 4) {
        headless_left_down(a, b);
        headless_mouse_move(c, d, true);
        headless_left_up(c, d);
    } else if (std::sscanf(word.c_str(), "dblclick:%d,%d", &a, &b) == 2) {
        headless_left_double_click(a, b);
    } else if (std::sscanf(word.c_str(), "rdblclick:%d,%d", &a, &b) == 2) {
        headless_right_double_click(a, b);
    } else if (std::sscanf(word.c_str(), "wheel:%d,%d,%d", &a, &b, &c) == 3) {
        // One message per notch, as a wheel sends them.
        int notches = c < 0 ? (c < -100 ? 100 : -c) : (c > 100 ? 100 : c);
        for (int i = 0; i < notches; i++)
            headless_wheel(a, b, c < 0 ? -k_wheel_notch : k_wheel_notch);
    } else if (std::sscanf(word.c_str(), "size:%dx%d", &a, &b) == 2 && valid_size(a, b)) {
        headless_resize(a, b);
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

bool play_script(const std::string& script) {
    size_t pos = 0;
    while (pos < script.size()) {
        size_t start = script.find_first_not_of(" \t\r\n", pos);
        if (start == std::string::npos) break;
        size_t end = script.find_first_of(" \t\r\n", start);
        if (end == std::string::npos) end = script.size();
        std::string word = script.substr(start, end - start);
        if (!play_word(word)) {
            std::fprintf(stderr, "dorvane-snapshot: unknown input '%s'\n", word.c_str());
            return false;
        }
        pos = end;
    }
    return true;
}

// The caller means paths relative to where it runs, not to the executable's directory.
std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    if (path.size() > 1 && path[1] == ':') return path;
    char cwd[4096];
    if (!sys_current_dir(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

} // namespace

int main(int argc, char** argv) {
    int width = 640, height = 480;
    std::string keys, out;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || !valid_size(width, height))
                return usage();
        } else if (arg == "--keys" && i + 1 < argc) {
            keys = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            out = absolute(argv[++i]);
        } else if (arg.compare(0, 2, "--") == 0) {
            return usage();
        } else {
            paths.push_back(absolute(arg));
        }
    }
    char dir[4096];
    headless_app_reset();
    if (sys_executable_dir(dir, sizeof dir)) headless_app_set_executable_dir(dir);
    headless_app_set_work_area(width, height);
    if (headless_app_start_paths(paths)) {
        headless_run_until_idle(k_settle_ms);
        if (!play_script(keys)) return 2;
    }
    std::printf("%s\n", headless_title().c_str());
    if (headless_exited()) std::printf("exit %d\n", headless_exit_code());
    if (!out.empty() && headless_document_window() &&
        !headless_write_ppm(headless_document_window(), out.c_str())) {
        std::fprintf(stderr, "dorvane-snapshot: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
