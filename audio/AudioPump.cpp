#include "AudioPump.h"

#include <algorithm>
#include <cmath>

namespace audio {

AudioPump::AudioPump(AudioSource& source, const AudioOptions& options)
    : source_(source)
    , options_(options)
    , idleFrames_(std::lround(options.idleSeconds * options.sampleRate))
{
}

bool AudioPump::pump(float* left, float* right, int step, int frames)
{
    const std::uint64_t before = messages_.load();
    // A message since the last render starts the count again: its note may
    // take a moment to become audible.
    if (before != rendered_) {
        rendered_ = before;
        quietFrames_ = 0;
    }
    const bool sounding = source_.render(left, right, step, frames);
    quietFrames_ = sounding ? 0 : quietFrames_ + frames;
    if (idleFrames_ <= 0 || quietFrames_ < idleFrames_)
        return false;
    // Rest only if no message came since the render: a note played meanwhile
    // is not in these frames. wake() counts the message before it looks at
    // resting_, so one of the two sees the other.
    resting_.store(true);
    if (messages_.load() != before) {
        resting_.store(false);
        quietFrames_ = 0;
        return false;
    }
    quietFrames_ = 0;
    return true;
}

bool AudioPump::wake()
{
    messages_.fetch_add(1);
    return resting_.load() && resting_.exchange(false);
}

std::optional<std::string> PumpedOutput::lossToReport()
{
    const std::optional<std::string> noted = loss_.take();
    if (!noted)
        return std::nullopt;
    return "the connection to the sound server was lost (" + lossDetail(*noted) + ")";
}

int wholeBlocks(int frames) { return frames - frames % kSynthBlockFrames; }

}  // namespace audio
