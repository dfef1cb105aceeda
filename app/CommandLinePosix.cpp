#include "CommandLinePlatform.h"

namespace commandline {

const PlatformText kPlatformText{
    "output",
    "What MIDI output device 0 is: synth (the built-in synthesizer, the default), or pipewire or jack (a MIDI port "
    "\"Plinkora\" that other programs connect to), linked to the first MIDI input whose name contains TARGET when "
    "written pipewire:TARGET or jack:TARGET.",
    "Print what --midi-out can be, one a line: synth, then the MIDI inputs found on PipeWire and JACK, and exit.",
    "Qt's standard options (-platform, -display, -style ...) are passed on to Qt.\n"
    "See plinkora(1).",
    " (try plinkora --list-midi-outputs)",
};

}  // namespace commandline
