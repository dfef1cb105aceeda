#pragma once
// Qt's own messages. The program prints nothing of its own but the reason it
// has no sound; Qt's warnings are kept back, and when Qt cannot go on at all
// (no display to connect to) one line says why and the program exits with a
// non-zero status instead of aborting with a core dump.

inline constexpr int kCannotStartExitCode = 1;

void installQtMessageHandler();
