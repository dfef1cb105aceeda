#include "BufferTarget.h"

#include <algorithm>

namespace audio {

BufferTarget::BufferTarget(const AudioOptions& options, Clock::time_point now)
    : start_(options.bufferFrames)
    , cap_(std::max(options.bufferFrames, options.maxBufferFrames))
    , step_(options.growStepFrames)
    , frames_(options.bufferFrames)
    , changed_(now)
    , underflow_(now)
{
}

int BufferTarget::underflow(Clock::time_point now)
{
    underflow_ = now;
    if (grown_ && now - *grown_ < kStall)
        return 0;
    const int next = step(step_, now);
    if (next != 0)
        grown_ = now;
    return next;
}

int BufferTarget::settle(Clock::time_point now)
{
    if (now - underflow_ < kSteady || now - changed_ < kSteady)
        return 0;
    return step(-step_, now);
}

int BufferTarget::step(int by, Clock::time_point now)
{
    const int next = std::clamp(frames() + by, start_, cap_);
    if (next == frames())
        return 0;
    frames_.store(next, std::memory_order_relaxed);
    changed_ = now;
    return next;
}

}  // namespace audio
