#pragma once
// The font of the key faces: Tahoma bold, 10.5 pt at 96 dpi (14 pixels).

#include <QFont>
#include <QString>

namespace keyfont {

// Starts reading the system's font configuration on another thread; font()
// waits for it. Needs no toolkit: it can overlap the toolkit's start.
void preload();

QFont font();
// Where the face's glyphs come from: "embedded", "system" or "fallback".
QString source();

}  // namespace keyfont
