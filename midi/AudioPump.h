#pragma once
// What every audio output does between the server and the synthesizer: render
// exactly the frames asked for, notice a long silence, and decide with the
// thread that plays notes, without a lock, whether the output rests or plays.
// Each backend only turns "rest" and "resume" into its server's calls.

#include "AudioOut.h"

#include <atomic>
#include <cstdint>

namespace midi {

class AudioPump {
public:
    AudioPump(AudioSource& source, const AudioOptions& options);

    // Audio thread: renders `frames` frames. True when the output should rest
    // now: everything was silent for the idle time and no message came while
    // deciding. The output then stops asking; wake() says when to resume.
    bool pump(float* left, float* right, int step, int frames);

    // Any thread, after a message: true exactly once after the pump decided to
    // rest, and then the caller must make the output ask for audio again.
    bool wake();
    bool resting() const { return resting_.load(); }

    // The server ran out of audio: the next, larger buffer target, or 0 when
    // it may not grow any more.
    int grownBuffer();
    int bufferFrames() const { return buffer_.load(std::memory_order_relaxed); }
    const AudioOptions& options() const { return options_; }

private:
    AudioSource& source_;
    const AudioOptions options_;
    const long idleFrames_;
    long quietFrames_ = 0;  // audio thread only
    std::atomic<std::uint64_t> messages_{0};
    std::atomic<bool> resting_{false};
    std::atomic<int> buffer_;
};

// Rounds a frame count down to whole synthesizer blocks: a partial block
// would be rendered ahead of need, and a note played meanwhile would wait
// for the block after it.
int wholeBlocks(int frames);
inline constexpr int kSynthBlockFrames = 64;

}  // namespace midi
