#include "platform/sdl/sdl_layer.h"
#include "shell/messages.h"

namespace {

struct KeyMap {
    SDL_Keycode key;
    int virtual_key;
};

// Only the keys of the key table. Keypad + and - are the keypad's own keys; the main keyboard's
// "+" / "=" and "-" keys are told apart by the character they carry in the layout.
const KeyMap k_keys[] = {
    {SDLK_ESCAPE, VKEY_ESCAPE},
    {SDLK_SPACE, VKEY_SPACE},
    {SDLK_PAGEUP, VKEY_PAGE_UP},
    {SDLK_PAGEDOWN, VKEY_PAGE_DOWN},
    {SDLK_END, VKEY_END},
    {SDLK_HOME, VKEY_HOME},
    {SDLK_LEFT, VKEY_LEFT},
    {SDLK_UP, VKEY_UP},
    {SDLK_RIGHT, VKEY_RIGHT},
    {SDLK_DOWN, VKEY_DOWN},
    {SDLK_DELETE, VKEY_DELETE},
    {SDLK_KP_PLUS, VKEY_ADD},
    {SDLK_KP_MINUS, VKEY_SUBTRACT},
    {SDLK_EQUALS, VKEY_OEM_PLUS},
    {SDLK_PLUS, VKEY_OEM_PLUS},
    {SDLK_MINUS, VKEY_OEM_MINUS},
    {SDLK_F1, VKEY_F1},
    {SDLK_F2, VKEY_F2},
    {SDLK_F3, VKEY_F3},
    {SDLK_F4, VKEY_F4},
    {SDLK_F5, 116},
    {SDLK_F6, 117},
    {SDLK_F7, VKEY_F7},
    {SDLK_F8, VKEY_F8},
    {SDLK_F9, 120},
    {SDLK_F10, 121},
    {SDLK_F11, 122},
    {SDLK_F12, VKEY_F12},
};

} // namespace

int sdl_virtual_key(SDL_Keycode key) {
    for (const KeyMap& k : k_keys)
        if (k.key == key) return k.virtual_key;
    return 0;
}
