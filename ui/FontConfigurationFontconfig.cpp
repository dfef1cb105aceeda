#include "FontConfiguration.h"

#include <dlfcn.h>

namespace keyfont {

// The toolkit's own fontconfig, already loaded with it: its configuration is
// read once per process (about 50 XML files), by whichever thread asks first.
void loadFontConfiguration()
{
    using Init = int (*)();
    if (const auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit")))
        (void)init();
}

}  // namespace keyfont
