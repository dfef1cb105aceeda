#include "FontConfiguration.h"

namespace keyfont {

// The toolkit reads the system's fonts itself, with nothing to read ahead.
void loadFontConfiguration() {}

}  // namespace keyfont
