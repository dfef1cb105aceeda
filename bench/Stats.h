#pragma once
// Order statistics for benchmark samples: the figures are medians and
// percentiles, never means, because a busy machine adds a long tail.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// Nearest-rank percentile, p in [0, 100]. NaN for no samples.
inline double percentile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return std::nan("");
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

inline double median(const std::vector<double>& samples) { return percentile(samples, 50); }

// One result line: "name<TAB>value<TAB>unit<TAB>detail", the format run.sh collects.
inline void report(const std::string& name, double value, const char* unit, const std::string& detail = {})
{
    std::printf("%s\t%.4g\t%s\t%s\n", name.c_str(), value, unit, detail.c_str());
    std::fflush(stdout);
}

}  // namespace bench
