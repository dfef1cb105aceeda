#pragma once
// What every audio output does between the server and the synthesizer: render
// exactly the frames asked for, notice a long silence, and decide with the
// thread that plays notes, without a lock, whether the output rests or plays.
// Each backend only turns "rest" and "resume" into its server's calls.

#include "AudioOut.h"
#include "BufferTarget.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace audio {

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

    const AudioOptions& options() const { return options_; }

private:
    AudioSource& source_;
    const AudioOptions options_;
    const long idleFrames_;
    long quietFrames_ = 0;  // audio thread only
    std::atomic<std::uint64_t> messages_{0};
    std::atomic<bool> resting_{false};
};

// What every backend answers the same way, from its pump.
class PumpedOutput : public AudioOutput {
public:
    int bufferFrames() const override { return buffer_.frames(); }
    bool resting() const override { return pump_.resting(); }
    bool lost() const override { return lost_.load(); }

protected:
    PumpedOutput(AudioSource& source, const AudioOptions& options) : pump_(source, options), buffer_(options) {}
    // The server has gone: said once, to whoever asked (AudioOptions::lost).
    void lose(const std::string& why);
    // Tells the measurements the buffer's size, where they asked.
    void reportBuffer(int frames) const
    {
        if (pump_.options().bufferChanged)
            pump_.options().bufferChanged(frames);
    }

    AudioPump pump_;
    BufferTarget buffer_;

private:
    std::atomic<bool> lost_{false};
};

// Holds a sound server library's loop lock for a scope.
template <typename Loop, void (*lock)(Loop*), void (*unlock)(Loop*)>
class LoopLock {
public:
    explicit LoopLock(Loop* loop) : loop_(loop) { lock(loop_); }
    ~LoopLock() { unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    Loop* loop_;
};

// Rounds a frame count down to whole synthesizer blocks: a partial block
// would be rendered ahead of need, and a note played meanwhile would wait
// for the block after it.
int wholeBlocks(int frames);
inline constexpr int kSynthBlockFrames = 64;

}  // namespace audio
