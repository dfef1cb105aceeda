// The one place that decides what MIDI output device 0 is: the system's own
// MIDI output on Windows, our embedded synthesizer everywhere else.

#if defined(_WIN32)
#include "WinMmOutput.h"
using PlatformBackend = midi::WinMmOutput;
#else
#include "FluidSynthOutput.h"
using PlatformBackend = midi::FluidSynthOutput;
#endif

namespace midi {

namespace {
PlatformBackend& backend()
{
    static PlatformBackend output;
    return output;
}
}  // namespace

OutputPort& platformOutput() { return backend(); }

void prepareOutput() { backend().prepare(); }

}  // namespace midi
