#pragma once
// What the reference clients play: a burst whose first sample is at full
// height, so that its onset in the recording is exact to the sample, or a
// steady tone; bursts come INTERVAL s plus up to kJitterSeconds apart (a fixed
// interval can meet the audio at one phase every time and hide the spread).

#include "Clock.h"

#include <cmath>
#include <numbers>
#include <random>

namespace bench {

inline constexpr double kBurstSeconds = 0.005;
inline constexpr double kJitterSeconds = 0.05;

// Sample `frame` of the tone or of a burst, at `rate` frames a second.
inline float referenceSample(bool tone, long long frame, double rate)
{
    constexpr double kBurstHz = 1000, kToneHz = 440;
    constexpr float kAmplitude = 0.5f;
    const double t = static_cast<double>(frame) / rate;
    if (tone)
        return kAmplitude * static_cast<float>(std::sin(2 * std::numbers::pi * kToneHz * t));
    return t < kBurstSeconds ? kAmplitude * static_cast<float>(std::cos(2 * std::numbers::pi * kBurstHz * t)) : 0.0f;
}

// Calls stamp() at COUNT moments INTERVAL s plus jitter apart, from half a
// second on, then waits one more interval for the last burst to be heard.
template <class Stamp>
void burstSchedule(int count, double interval, Stamp stamp)
{
    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> jitter(0, kJitterSeconds);
    double next = wallSeconds() + 0.5;
    for (int i = 0; i < count; ++i) {
        next += interval + jitter(random);
        sleepUntilWall(next);
        stamp();
    }
    sleepUntilWall(next + interval);
}

}  // namespace bench
