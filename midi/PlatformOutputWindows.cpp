// Device 0 on Windows: the system's own MIDI output through winmm.dll. There
// is nothing else to choose here.

#include "WinMmOutput.h"

namespace midi {

namespace {
WinMmOutput& backend()
{
    static WinMmOutput output;
    return output;
}
}  // namespace

OutputPort& platformOutput() { return backend(); }

void prepareOutput() { backend().prepare(); }

// WinMM runs no thread of ours.
void releaseOutput() {}

std::string chooseOutput(const std::string&) { return "device 0 is the system's MIDI output here"; }

std::vector<std::string> outputChoices() { return {}; }

}  // namespace midi
