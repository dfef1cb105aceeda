#pragma once
// The lines the program writes for the user (--help, --version, the list of
// MIDI outputs, why it cannot start). One file per platform: a Windows GUI
// program has no console of its own and must take the one it was started
// from, if any.

#include <QString>

#include <cstdio>

namespace console {

// Writes `text` to `stream` (stdout or stderr); false if it could not be
// written. Where the program has nowhere to write (on Windows, started from
// Explorer or a shortcut), nothing is written, nothing is shown, and that is
// no failure.
bool write(std::FILE* stream, const QString& text);

}  // namespace console
