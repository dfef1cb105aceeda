#include "ExactStamps.h"

#include <algorithm>

namespace bench {

double ExactStamps::wallAt(double frame) const
{
    if (stamps_.empty())
        return frame / rate_;
    auto it = std::lower_bound(stamps_.begin(), stamps_.end(), frame,
                               [](const Arrival& s, double f) { return s.frames < f; });
    if (it == stamps_.end())
        --it;
    return it->wall - (it->frames - frame) / rate_;
}

double ExactStamps::frameAt(double wall) const
{
    if (stamps_.empty())
        return wall * rate_;
    auto it = std::lower_bound(stamps_.begin(), stamps_.end(), wall,
                               [](const Arrival& s, double w) { return s.wall < w; });
    if (it == stamps_.end())
        --it;
    const double frame = it->frames - (it->wall - wall) * rate_;
    return it == stamps_.begin() ? frame : std::max(frame, std::prev(it)->frames);
}

}  // namespace bench
