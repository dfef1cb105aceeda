#pragma once
// The audio backends of this build, one file each; AudioOutFactory.cpp is the
// only caller.

#include "AudioOut.h"

namespace audio {

std::unique_ptr<AudioOutput> openPulseAudio(AudioSource& source, const AudioOptions& options, std::string* why);
std::unique_ptr<AudioOutput> openPipeWire(AudioSource& source, const AudioOptions& options, std::string* why);
// FluidSynth's own audio driver `name` (ALSA, CoreAudio, ...), which pulls
// whole periods of bufferFrames from a thread of its own.
std::unique_ptr<AudioOutput> openFluidDriver(const std::string& name, AudioSource& source, const AudioOptions& options,
                                             std::string* why);

}  // namespace audio
