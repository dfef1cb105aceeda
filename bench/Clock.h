#pragma once
// The benchmarks' clocks. Wall-clock times (seconds since the epoch) are what
// the shell's $EPOCHREALTIME reads, so the scripts and the tools can compare
// their time stamps; durations inside one process use the steady clock.

#include <chrono>
#include <ctime>
#include <thread>

namespace bench {

inline double wallSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Wall-clock minus monotonic time, from the tightest of a few readings of the
// wall clock between two of the monotonic one. Only a step of the wall clock
// changes it (a slew moves both clocks alike), so one reading serves a run.
inline double wallMinusMonotonic()
{
    double best = 1, offset = 0;
    for (int i = 0; i < 50; ++i) {
        const double before = monotonicSeconds();
        const double wall = wallSeconds();
        const double after = monotonicSeconds();
        if (after - before < best) {
            best = after - before;
            offset = wall - (before + after) / 2;
        }
    }
    return offset;
}

inline void sleepUntilWall(double wall)
{
    const double wait = wall - wallSeconds();
    if (wait > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

using Steady = std::chrono::steady_clock;

inline double microsecondsBetween(Steady::time_point from, Steady::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

}  // namespace bench
