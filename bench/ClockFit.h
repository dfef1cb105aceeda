#pragma once
// Maps a recording's sample clock to wall-clock time from the arrival times of
// its fragments. A fragment can only arrive late, never early, so the line is
// fitted to the earliest arrivals (per second, the least delayed one); its
// slope is the sound card's (here the null sink's) drift from the wall clock.

#include <optional>
#include <vector>

namespace bench {

struct Arrival {
    double frames;  // frames recorded when the fragment arrived
    double wall;    // wall-clock seconds
};

struct ClockFit {
    double rate = 48000;
    double offset = 0;      // wall time of frame 0
    double secondsPerFrame = 1.0 / 48000;
    double residualMax = 0; // seconds, of the earliest arrivals about the line

    double wallAt(double frame) const { return offset + frame * secondsPerFrame; }
    double frameAt(double wall) const { return (wall - offset) / secondsPerFrame; }
    // Parts per million the recording's clock runs slower than the wall clock.
    double driftPpm() const { return (secondsPerFrame * rate - 1.0) * 1e6; }
};

std::optional<ClockFit> fitClock(const std::vector<Arrival>& arrivals, double rate);

}  // namespace bench
