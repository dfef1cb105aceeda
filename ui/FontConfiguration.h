#pragma once
// The system's font configuration, which the toolkit reads the first time it
// needs a font: the key faces' font, here.

namespace keyfont {

// Reads it now, from any thread, so that the toolkit finds it read. Where the
// toolkit's fonts need no such reading, it does nothing.
void loadFontConfiguration();

}  // namespace keyfont
