#pragma once
// The command line, read before the synthesizer or the toolkit starts: --help,
// --version and --list-midi-outputs answer without a display or a sound,
// --midi-out chooses what MIDI output device 0 is, and a mistyped option is
// refused before anything opens. Qt's own options (-platform, -display,
// -style ...) are left in place for the application object to take.

#include <optional>

inline constexpr int kUsageExitCode = 2;

// The exit status when the command line has been answered (help, version, the
// list of MIDI outputs or a usage error, printed), or nothing when the program
// should start.
std::optional<int> answerCommandLine(int argc, char** argv);
