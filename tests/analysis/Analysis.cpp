#include "Analysis.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace analysis {

namespace {

constexpr double kFloorDb = -200.0;
constexpr int kTimbreHarmonics = 16;
constexpr int kBandsPerHarmonic = 4;
constexpr double kTimbreRangeDb = 60.0;

double toDb(double amplitude) { return amplitude > 0.0 ? std::max(kFloorDb, 20.0 * std::log10(amplitude)) : kFloorDb; }

struct Range {
    std::size_t begin;
    std::size_t end;
};

Range rangeOf(const Audio& audio, double start, double length)
{
    const std::size_t begin = audio.indexAt(start);
    return {begin, std::max(begin, audio.indexAt(start + length))};
}

double rmsOf(const Audio& audio, Range r)
{
    if (r.end <= r.begin)
        return 0.0;
    double sum = 0.0;
    for (std::size_t i = r.begin; i < r.end; ++i)
        sum += static_cast<double>(audio.samples[i]) * audio.samples[i];
    return std::sqrt(sum / static_cast<double>(r.end - r.begin));
}

}  // namespace

double rmsDb(const Audio& audio, double start, double length) { return toDb(rmsOf(audio, rangeOf(audio, start, length))); }

double peakDb(const Audio& audio, double start, double length)
{
    const Range r = rangeOf(audio, start, length);
    double peak = 0.0;
    for (std::size_t i = r.begin; i < r.end; ++i)
        peak = std::max(peak, static_cast<double>(std::abs(audio.samples[i])));
    return toDb(peak);
}

std::optional<Pitch> pitchAt(const Audio& audio, double start, const SpectrumOptions& options)
{
    return estimatePitch(spectrumAt(audio, start, options));
}

Spectrum spectrumThatRose(const Audio& audio, double noteStart, const RiseOptions& options)
{
    const double length = options.spectrum.length;
    const Spectrum before = spectrumAt(audio, noteStart - options.guardBefore - length, options.spectrum);
    const Spectrum after = spectrumAt(audio, noteStart + options.delayAfter, options.spectrum);
    return rise(before, after);
}

std::optional<Pitch> noteThatRose(const Audio& audio, double noteStart, const RiseOptions& options)
{
    return estimatePitch(spectrumThatRose(audio, noteStart, options));
}

double onsetThreshold(const Audio& audio, double after, const OnsetOptions& options)
{
    // Samples of what sounded before reach their peak, not their RMS: a new
    // note's first sample must stand above that peak.
    const double peak = std::pow(10.0, peakDb(audio, after - options.referenceLength, options.referenceLength) / 20.0);
    return std::max(2.0 * peak, std::pow(10.0, options.minimumDb / 20.0));
}

std::optional<double> firstSampleAbove(const Audio& audio, double from, double level)
{
    for (std::size_t i = audio.indexAt(from); i < audio.samples.size(); ++i)
        if (std::abs(audio.samples[i]) >= level)
            return static_cast<double>(i) / audio.rate;
    return std::nullopt;
}

std::optional<double> findOnset(const Audio& audio, double after, const OnsetOptions& options)
{
    const double floorDb = rmsDb(audio, after - options.referenceLength, options.referenceLength);
    const double threshold = std::pow(10.0, std::max(floorDb + options.riseDb, options.minimumDb) / 20.0);
    const double sampleThreshold = onsetThreshold(audio, after, options);
    const auto frame = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(options.frame * audio.rate)));
    const std::size_t start = audio.indexAt(after);

    for (std::size_t begin = start; begin + frame <= audio.samples.size(); begin += frame) {
        if (rmsOf(audio, {begin, begin + frame}) < threshold)
            continue;
        // A note's first periods may stay under the frame threshold: look back
        // for its first sample.
        const auto lookBack = static_cast<std::size_t>(options.lookBack * audio.rate);
        std::size_t i = begin >= start + lookBack ? begin - lookBack : start;
        while (i < begin + frame && std::abs(audio.samples[i]) < sampleThreshold)
            ++i;
        return static_cast<double>(i) / audio.rate;
    }
    return std::nullopt;
}

int silentRuns(const Audio& audio, double from, double to, double minimumLength)
{
    const auto minimum = static_cast<std::size_t>(std::lround(minimumLength * audio.rate));
    const std::size_t end = audio.indexAt(to);
    int runs = 0;
    std::size_t run = 0;
    for (std::size_t i = audio.indexAt(from); i < end; ++i) {
        run = audio.samples[i] == 0.0f ? run + 1 : 0;
        runs += run == minimum ? 1 : 0;
    }
    return runs;
}

std::vector<double> timbreProfile(const Spectrum& spectrum, double fundamentalHz)
{
    constexpr double bandWidth = 1.0 / kBandsPerHarmonic;
    std::vector<double> bands;
    bands.reserve(kTimbreHarmonics * kBandsPerHarmonic);
    // Bands centred on 1/4, 2/4, ... harmonics; each harmonic is the centre of a band.
    for (int b = 1; b <= kTimbreHarmonics * kBandsPerHarmonic; ++b) {
        const double centre = b * bandWidth * fundamentalHz;
        const double half = 0.5 * bandWidth * fundamentalHz;
        bands.push_back(toDb(spectrum.peakBetween(centre - half, centre + half)));
    }
    const double top = *std::max_element(bands.begin(), bands.end());
    for (double& band : bands)
        band = std::max(band - top, -kTimbreRangeDb);
    return bands;
}

double timbreDistance(const std::vector<double>& a, const std::vector<double>& b)
{
    if (a.size() != b.size() || a.empty())
        throw std::invalid_argument("timbre profiles of different sizes");
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(a[i] - b[i]);
    return sum / static_cast<double>(a.size()) / kTimbreRangeDb;
}

}  // namespace analysis
