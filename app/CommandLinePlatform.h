#pragma once
// What the command line says that depends on the platform: one file per
// platform, chosen by CMake (CommandLinePosix.cpp, CommandLineWindows.cpp).

namespace commandline {

struct PlatformText {
    const char* midiOutValue;     // the name of --midi-out's value in the help
    const char* midiOut;          // --midi-out's help
    const char* listMidiOutputs;  // --list-midi-outputs' help
    const char* closing;          // the help's last lines: Qt's options, where to read more
    const char* refusedOutput;    // after the reason a --midi-out was refused
};

extern const PlatformText kPlatformText;

}  // namespace commandline
