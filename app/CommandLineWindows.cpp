#include "CommandLinePlatform.h"

namespace commandline {

// The refusal of a --midi-out names the devices there are: nothing to add.
const PlatformText kPlatformText{
    "device",
    "The MIDI output device to play on: its number, or a part of its name (the first device whose name contains it, "
    "in any case). Without it, device 0, normally Windows' built-in synthesizer.",
    "Print the system's MIDI output devices, one a line with its number and name, device 0 first, and exit.",
    "Qt's standard options (-platform, -style ...) are passed on to Qt.",
    "",
};

}  // namespace commandline
