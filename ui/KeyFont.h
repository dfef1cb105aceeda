#pragma once
// The font of the key faces: Tahoma bold, 10.5 pt at 96 dpi (14 pixels).

#include <QFont>
#include <QString>

namespace keyfont {

QFont font();
// Where the face's glyphs come from: "embedded", "system" or "fallback".
QString source();

}  // namespace keyfont
