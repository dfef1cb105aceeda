#include "Dropouts.h"

#include <algorithm>

namespace bench {

int countZeroRuns(const std::vector<float>& interleaved, int channels, long from, long to, int minimum)
{
    const long frames = static_cast<long>(interleaved.size()) / channels;
    to = std::min(to, frames);
    int runs = 0;
    long run = 0;
    for (long f = std::max(0L, from); f < to; ++f) {
        bool zero = true;
        for (int c = 0; c < channels; ++c)
            zero = zero && interleaved[static_cast<std::size_t>(f * channels + c)] == 0.0f;
        run = zero ? run + 1 : 0;
        runs += run == minimum ? 1 : 0;
    }
    return runs;
}

}  // namespace bench
