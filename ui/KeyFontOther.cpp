#include "KeyFontPlatform.h"

namespace keyfont {

QByteArray forTextEngine(const QByteArray& font) { return font; }

// Qt's own choice.
void chooseTextEngine() {}

}  // namespace keyfont
