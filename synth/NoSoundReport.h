#pragma once
// The program's only output: one line on stderr saying why there is no sound.

#include <functional>
#include <string>

namespace synth {

// Writes "plinkora: no sound: <why>" once per run; later reports are dropped so
// that a failing audio server cannot flood the terminal.
void reportNoSound(const std::string& why);

// Tests capture the reports instead; pass nullptr to restore stderr.
void setNoSoundSink(std::function<void(const std::string&)> sink);

}  // namespace synth
