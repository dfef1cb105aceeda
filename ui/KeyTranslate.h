#pragma once
// Turns the platform's key events into Windows virtual-key codes and shift
// states, in this one place.

#include <QKeyEvent>

#include <cstdint>

namespace keytranslate {

// The Windows virtual-key code of the key that went down, or 0 if it has none.
std::int16_t virtualKey(const QKeyEvent& event);

// The modifier state as a bit set: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t shiftState(Qt::KeyboardModifiers modifiers);

}  // namespace keytranslate
