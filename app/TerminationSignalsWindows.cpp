#include "TerminationSignals.h"

namespace terminationsignals {

bool install() { return true; }
int descriptor() { return -1; }
void acknowledge() {}

}  // namespace terminationsignals
