#pragma once
// How much audio to keep queued in the sound server, adjusted the way the
// servers' own sinks adjust their watermarks: a step up after an underflow
// (one step for each stall, however many underflows it caused), a step down
// after a long stretch without one, never below where it started nor above
// the cap. So the buffer settles where this machine sustains it, and comes
// back down once a burst of load has passed.

#include "AudioOut.h"

#include <atomic>
#include <chrono>
#include <optional>

namespace audio {

class BufferTarget {
public:
    using Clock = std::chrono::steady_clock;
    // Underflows this close after a step up belong to the same stall.
    static constexpr Clock::duration kStall = std::chrono::seconds(1);
    // A step down after this long without an underflow.
    static constexpr Clock::duration kSteady = std::chrono::seconds(30);

    explicit BufferTarget(const AudioOptions& options, Clock::time_point now = Clock::now());

    int frames() const { return frames_.load(std::memory_order_relaxed); }
    // The server ran dry at `now`: the new target, or 0 when it stays.
    int underflow(Clock::time_point now);
    // Audio was asked for at `now`: a smaller target after a steady stretch, or 0.
    int settle(Clock::time_point now);

private:
    int step(int by, Clock::time_point now);

    const int start_;
    const int cap_;
    const int step_;
    std::atomic<int> frames_;
    Clock::time_point changed_;     // last step, or the start
    std::optional<Clock::time_point> grown_;  // last step up
    Clock::time_point underflow_;   // last underflow, or the start
};

}  // namespace audio
