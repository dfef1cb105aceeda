#pragma once
// The benchmarks' clocks. Wall-clock times (seconds since the epoch) are what
// the shell's $EPOCHREALTIME reads, so the scripts and the tools can compare
// their time stamps; durations inside one process use the steady clock.

#include <chrono>
#include <ctime>

namespace bench {

inline double wallSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

using Steady = std::chrono::steady_clock;

inline double microsecondsBetween(Steady::time_point from, Steady::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

}  // namespace bench
