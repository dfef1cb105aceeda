#include "KeyFontPlatform.h"

namespace keyfont {

QByteArray forTextEngine(const QByteArray& font) { return font; }

}  // namespace keyfont
