#pragma once
// What every audio output does between the server and the synthesizer: render
// exactly the frames asked for, notice a long silence, and decide with the
// thread that plays notes, without a lock, whether the output rests or plays.
// Each backend only turns "rest" and "resume" into its server's calls.

#include "AudioOut.h"
#include "BufferTarget.h"
#include "ServerLoss.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace audio {

class AudioPump {
public:
    AudioPump(AudioSource& source, const AudioOptions& options);

    // Audio thread: renders `frames` frames. True when the output should rest
    // now: everything was silent for the idle time since the last message and
    // no message came while deciding. The output then stops asking; wake()
    // says when to resume.
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
    long quietFrames_ = 0;         // audio thread only
    std::uint64_t rendered_ = 0;  // audio thread only: the messages counted at the last render
    std::atomic<std::uint64_t> messages_{0};
    std::atomic<bool> resting_{false};
};

// What every backend answers the same way, from its pump.
class PumpedOutput : public AudioOutput {
public:
    int bufferFrames() const override { return buffer_.frames(); }
    bool resting() const override { return pump_.resting(); }
    bool lost() const override { return loss_.happened(); }
    std::optional<std::string> lossToReport() override;

protected:
    PumpedOutput(AudioSource& source, const AudioOptions& options) : pump_(source, options), buffer_(options) {}
    // The server's thread: the server has gone. Only noted (ServerLoss.h).
    void lose(const char* detail) noexcept { loss_.note(detail); }
    // The detail in words, on the thread that plays.
    virtual std::string lossDetail(const std::string& noted) const { return noted; }
    // Tells the measurements the buffer's size, where they asked.
    void reportBuffer(int frames) const
    {
        if (pump_.options().bufferChanged)
            pump_.options().bufferChanged(frames);
    }

    AudioPump pump_;
    BufferTarget buffer_;

private:
    ServerLoss loss_;
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
