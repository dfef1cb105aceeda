#pragma once
// A recording's time from stamps that need no fitting (bench-record-pw's,
// from the graph's own clock): each buffer's last frame and the wall-clock
// time at which it ends. A frame is timed by its own buffer. Where the
// recorder missed cycles the stamps step, and a moment in such a gap maps to
// the first frame after it.

#include "ClockFit.h"

#include <vector>

namespace bench {

class ExactStamps {
public:
    // In recording order; Arrival::wall is when the buffer ends.
    ExactStamps(std::vector<Arrival> stamps, double rate) : stamps_(std::move(stamps)), rate_(rate) {}

    double wallAt(double frame) const;
    double frameAt(double wall) const;

private:
    std::vector<Arrival> stamps_;
    double rate_;
};

}  // namespace bench
