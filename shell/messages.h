// The messages and key codes the window procedures understand. The values are Win32's, so the
// Win32 layer passes its messages through unchanged and other layers translate to them.
#pragma once
#include <cstdint>

enum AppMessage : uint32_t {
    MSG_DESTROY = 0x0002,
    MSG_SIZE = 0x0005,
    MSG_SETFOCUS = 0x0007,
    MSG_KILLFOCUS = 0x0008,
    MSG_PAINT = 0x000F,
    MSG_CLOSE = 0x0010,
    MSG_KEYDOWN = 0x0100,
    MSG_KEYUP = 0x0101,
    MSG_TIMER = 0x0113,
    MSG_MOUSEMOVE = 0x0200,
    MSG_LBUTTONDOWN = 0x0201,
    MSG_LBUTTONUP = 0x0202,
    MSG_LBUTTONDBLCLK = 0x0203,
    MSG_RBUTTONDOWN = 0x0204,
    MSG_RBUTTONUP = 0x0205,
    MSG_RBUTTONDBLCLK = 0x0206,
    MSG_MOUSEWHEEL = 0x020A,
    MSG_DROPFILES = 0x0233,
    MSG_USER = 0x0400,
};

// Size types of the size message.
enum SizeType { SIZE_TYPE_RESTORED = 0, SIZE_TYPE_MINIMIZED = 1, SIZE_TYPE_MAXIMIZED = 2 };

// Mouse-message flag: the left button is down.
constexpr uintptr_t k_left_button_flag = 0x0001;

enum VirtualKey {
    VKEY_SHIFT = 16,
    VKEY_CONTROL = 17,
    VKEY_ESCAPE = 27,
    VKEY_SPACE = 32,
    VKEY_PAGE_UP = 33,
    VKEY_PAGE_DOWN = 34,
    VKEY_END = 35,
    VKEY_HOME = 36,
    VKEY_LEFT = 37,
    VKEY_UP = 38,
    VKEY_RIGHT = 39,
    VKEY_DOWN = 40,
    VKEY_DELETE = 46,
    VKEY_ADD = 107,
    VKEY_SUBTRACT = 109,
    VKEY_F1 = 112,
    VKEY_F2 = 113,
    VKEY_F3 = 114,
    VKEY_F4 = 115,
    VKEY_F7 = 118,
    VKEY_F8 = 119,
    VKEY_F12 = 123,
    VKEY_OEM_PLUS = 187,  // the main keyboard's "= +" key
    VKEY_OEM_MINUS = 189, // the main keyboard's "-" key
};

// Wheel messages: the turn in the high 16 bits of wparam (signed; one notch is 120, away from
// the user positive), the pointer in lparam in document window coordinates.
constexpr int k_wheel_notch = 120;
inline int message_wheel_delta(uintptr_t wparam) {
    return static_cast<int16_t>(static_cast<uint16_t>((wparam >> 16) & 0xFFFF));
}
inline uintptr_t message_wheel_wparam(int delta) {
    return static_cast<uintptr_t>(static_cast<uint16_t>(delta)) << 16;
}

// Mouse coordinates of a mouse message: x in the low 16 bits, y in the next 16, unsigned.
inline int message_x(uintptr_t lparam) {
    return static_cast<int>(lparam & 0xFFFF);
}
inline int message_y(uintptr_t lparam) {
    return static_cast<int>((lparam >> 16) & 0xFFFF);
}
inline uintptr_t message_point(int x, int y) {
    return (static_cast<uintptr_t>(y & 0xFFFF) << 16) | static_cast<uintptr_t>(x & 0xFFFF);
}
