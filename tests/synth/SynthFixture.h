#pragma once
// An offline synthesizer with the SoundFont the program would pick, and a way
// to hear what it plays.

#include "SoundFile.h"
#include "synth/SynthEngine.h"

#include <memory>
#include <string>

namespace synthtest {

// The engine without an audio driver, or nullptr with `why` set.
std::unique_ptr<synth::SynthEngine> offlineEngine(std::string* why);

// Renders `seconds` of the engine's output, mixed to mono.
analysis::Audio render(synth::SynthEngine& engine, double seconds);

// Ends every voice and waits for the reverb to fall silent.
void silence(synth::SynthEngine& engine);

// Silence, then on channel 1 with `program` selected, then a note-on at velocity 100.
void strike(synth::SynthEngine& engine, int program, int note);

}  // namespace synthtest
