#pragma once
// What the window system says about the window that Qt does not pass on as an
// event of its own. One file per window system (WindowSystemXcb.cpp, or
// WindowSystemOther.cpp where nothing of this kind can happen), chosen by CMake.

#include <QByteArray>
#include <QWindow>

namespace windowsystem {

// True when `message`, a native event as QWidget::nativeEvent receives it,
// says that `window` was destroyed by another client (some window managers and
// tools do that). Qt lets it pass, and the program would run on without a window.
bool destroysWindow(const QByteArray& eventType, const void* message, WId window);

}  // namespace windowsystem
