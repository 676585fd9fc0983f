// SDL events become the messages the window procedures understand.
#include "platform/sdl/sdl_layer.h"
#include "shell/messages.h"

namespace {

PlatformWindow s_focus = nullptr;
PlatformDrop s_open_drop = 0;

int modifiers_of(Uint16 mod) {
    int m = 0;
    if (mod & KMOD_SHIFT) m |= SDL_MOD_SHIFT;
    if (mod & KMOD_CTRL) m |= SDL_MOD_CTRL;
    return m;
}

int current_modifiers() {
    return modifiers_of(static_cast<Uint16>(SDL_GetModState()));
}

uintptr_t point(int x, int y) {
    return message_point(x < 0 ? 0 : x, y < 0 ? 0 : y);
}

void window_event(const SDL_WindowEvent& e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        sdl_post(sdl_main_handle(), MSG_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        bool maximised = SDL_GetWindowFlags(g_sdl_window) & SDL_WINDOW_MAXIMIZED;
        uintptr_t size = message_point(e.data1, e.data2);
        sdl_post(sdl_main_handle(), MSG_SIZE, maximised ? SIZE_TYPE_MAXIMIZED : SIZE_TYPE_RESTORED,
                 size);
        sdl_invalidate_document();
        break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
        sdl_post(sdl_main_handle(), MSG_SIZE, SIZE_TYPE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        sdl_present_all();
        break;
    default:
        break;
    }
}

void key_event(const SDL_KeyboardEvent& e, uint32_t message) {
    int vk = sdl_virtual_key(e.keysym.sym);
    if (!vk || !s_focus) return;
    sdl_post_input(s_focus, message, static_cast<uintptr_t>(vk), 1, modifiers_of(e.keysym.mod));
}

void button_event(const SDL_MouseButtonEvent& e, bool down) {
    uint32_t message = 0;
    bool second_click = e.clicks >= 2 && e.clicks % 2 == 0;
    if (e.button == SDL_BUTTON_LEFT)
        message = down ? (second_click ? MSG_LBUTTONDBLCLK : MSG_LBUTTONDOWN) : MSG_LBUTTONUP;
    else if (e.button == SDL_BUTTON_RIGHT)
        message = down ? (second_click ? MSG_RBUTTONDBLCLK : MSG_RBUTTONDOWN) : MSG_RBUTTONUP;
    if (!message) return;
    uintptr_t buttons = (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) ? 1 : 0;
    sdl_post_input(sdl_document_handle(), message, buttons, point(e.x, e.y), current_modifiers());
}

// One wheel message per event, in notches of 120 as the window procedure counts them; the
// pointer is where the event found it.
void wheel_event(const SDL_MouseWheelEvent& e) {
    int notches = e.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.y : e.y;
    if (notches == 0) return;
    if (notches > 100) notches = 100;
    if (notches < -100) notches = -100;
#if SDL_VERSION_ATLEAST(2, 26, 0)
    int x = e.mouseX, y = e.mouseY;
#else
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
#endif
    sdl_post_input(sdl_document_handle(), MSG_MOUSEWHEEL,
                   message_wheel_wparam(notches * k_wheel_notch), point(x, y), current_modifiers());
}

void drop_event(const SDL_DropEvent& e) {
    switch (e.type) {
    case SDL_DROPBEGIN:
        s_open_drop = sdl_drop_begin();
        break;
    case SDL_DROPFILE:
        if (s_open_drop) {
            sdl_drop_add(s_open_drop, e.file);
        } else { // a drop without its begin event carries one name
            PlatformDrop drop = sdl_drop_begin();
            sdl_drop_add(drop, e.file);
            sdl_post(sdl_document_handle(), MSG_DROPFILES, drop, 0);
        }
        break;
    case SDL_DROPCOMPLETE:
        if (s_open_drop) sdl_post(sdl_document_handle(), MSG_DROPFILES, s_open_drop, 0);
        s_open_drop = 0;
        break;
    default:
        break;
    }
    if (e.file) SDL_free(e.file);
}

} // namespace

PlatformWindow sdl_focus() {
    return s_focus;
}

// The document window hands the focus on when it receives it, as its procedure says.
void sdl_set_focus_window(PlatformWindow window) {
    if (s_focus == window) return;
    PlatformWindow previous = s_focus;
    s_focus = window;
    if (previous == sdl_main_handle()) sdl_post(previous, MSG_KILLFOCUS, 0, 0);
    if (window == sdl_document_handle()) sdl_post(window, MSG_SETFOCUS, 0, 0);
}

void sdl_translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        sdl_post(sdl_main_handle(), MSG_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        window_event(event.window);
        break;
    case SDL_KEYDOWN:
        key_event(event.key, MSG_KEYDOWN);
        break;
    case SDL_KEYUP:
        key_event(event.key, MSG_KEYUP);
        break;
    case SDL_MOUSEMOTION: {
        uintptr_t buttons = (event.motion.state & SDL_BUTTON_LMASK) ? 1 : 0;
        sdl_post_input(sdl_document_handle(), MSG_MOUSEMOVE, buttons,
                       point(event.motion.x, event.motion.y), current_modifiers());
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        button_event(event.button, true);
        break;
    case SDL_MOUSEBUTTONUP:
        button_event(event.button, false);
        break;
    case SDL_MOUSEWHEEL:
        wheel_event(event.wheel);
        break;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPCOMPLETE:
        drop_event(event.drop);
        break;
    default:
        break;
    }
}
