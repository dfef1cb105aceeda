#pragma once
// The synthesizer's way to the speakers. The sound server asks for frames and
// the synthesizer renders exactly those frames then, so a note played between
// two requests is in the next one and nothing waits in a buffer of our own.
// One small interface, one file per sound server, one place that picks them
// (AudioOutFactory.cpp), as for MIDI output.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace audio {

// What an output plays.
class AudioSource {
public:
    // Renders `frames` stereo frames, the left channel to left[0], left[step],
    // ... and the right likewise. False when they were silent and nothing is
    // left sounding, so the output may rest.
    virtual bool render(float* left, float* right, int step, int frames) = 0;

protected:
    ~AudioSource() = default;
};

struct AudioOptions {
    double sampleRate = 48000.0;
    // The audio the server keeps queued: it starts at bufferFrames, grows by
    // growStepFrames after each stall the server reports, up to
    // maxBufferFrames, and comes back down a step after a steady stretch
    // (BufferTarget.h).
    int bufferFrames = 256;
    int maxBufferFrames = 512;
    int growStepFrames = 64;
    // How much audio the server asks for at a time, where it lets the
    // client choose (PulseAudio's minreq): a note waits up to this long for
    // its render.
    int requestFrames = 64;
    // After this long without sound and without a message the output stops
    // asking for audio, so an idle piano costs no CPU; the next message wakes
    // it. 0 never rests.
    double idleSeconds = 0.25;
    // Told the buffer size (frames) when the stream starts and whenever it
    // grows; called on the audio thread. For measurements.
    std::function<void(int)> bufferChanged;
};

class AudioOutput {
public:
    // Closing: once the destructor returns, the source is never called again.
    virtual ~AudioOutput() = default;
    // A message was just played: rendering resumes if the output rested.
    // Costs one atomic operation when it did not. Any thread.
    virtual void wake() = 0;
    // The target of audio queued in the server, in frames.
    virtual int bufferFrames() const = 0;
    // True while it rests for silence.
    virtual bool resting() const = 0;
    // True once its sound server has gone: it will never play again. Any thread.
    virtual bool lost() const = 0;
    // The thread that plays, once after lost() has turned true: why, for its
    // report. The server's thread only noted it.
    virtual std::optional<std::string> lossToReport() = 0;

protected:
    AudioOutput() = default;
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;
};

// The outputs to try, best first: PLINKORA_AUDIO names one ("pipewire",
// "pulseaudio", "alsa", ...), otherwise every backend of this platform.
std::vector<std::string> defaultAudioOutputs();

// The first of `names` that opens; nullptr with every backend's reason when none does.
std::unique_ptr<AudioOutput> openAudioOutput(const std::vector<std::string>& names, AudioSource& source,
                                             const AudioOptions& options, std::string* why);

}  // namespace audio
