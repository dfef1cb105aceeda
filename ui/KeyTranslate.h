#pragma once
// Turns the platform's key events into Windows virtual-key codes and shift
// states, in this one place. Where the platform names the physical key (X11,
// Wayland, macOS), the code follows the key's position on a US keyboard, so
// Shift, NumLock and the keyboard layout never change what a key plays.

#include <QKeyEvent>
#include <QStringView>

#include <cstdint>

namespace keytranslate {

// How a platform describes the key that went down.
enum class Platform {
    X11,      // xcb and Wayland: nativeScanCode() is the X keycode (evdev code + 8)
    Windows,  // nativeVirtualKey() is already the virtual-key code
    Mac,      // nativeVirtualKey() is the macOS virtual key code (kVK_*)
    Other,    // nothing native to go by: only Qt::Key and the modifiers
};

Platform platformFromName(QStringView qpaPlatformName);

// The Windows virtual-key code of the key that went down, or 0 if it has none.
// Reads the running application's platform (once).
std::int16_t virtualKey(const QKeyEvent& event);
std::int16_t virtualKey(const QKeyEvent& event, Platform platform);

// The tables behind it, each giving 0 for a key it does not know.
std::int16_t fromXKeycode(quint32 xKeycode);
std::int16_t fromMacKeyCode(quint32 macKeyCode);
// US layout assumed. Keypad keys (Qt::KeypadModifier) give the keypad codes
// whatever NumLock made of them.
std::int16_t fromQtKey(int key, Qt::KeyboardModifiers modifiers);

// The modifier state as a bit set: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t shiftState(Qt::KeyboardModifiers modifiers);

}  // namespace keytranslate
