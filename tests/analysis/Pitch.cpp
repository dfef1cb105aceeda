#include "Pitch.h"

#include "Notes.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// Half a semitone either side: a partial of a note up to a quarter tone out of
// tune still falls inside its candidate's window.
constexpr double kWindowCents = 50.0;
// Below this the spectrum is silence (about -120 dBFS).
constexpr double kSilence = 1e-6;
// Weights of the comb after Klapuri (2006): a candidate gains less from each
// higher partial, so octave-up candidates cannot live off the upper partials.
constexpr double kAlphaHz = 27.0;
constexpr double kBetaHz = 320.0;
// Partials used to refine the fundamental: low ones, where a string's
// stiffness has not yet stretched them.
constexpr int kRefineHarmonics = 6;

double windowFactor() { return std::exp2(kWindowCents / 1200.0); }

struct Comb {
    const Spectrum& spectrum;
    double reference;  // magnitude that compresses to 1

    // Square root: a rough whitening, so that strong low partials do not outvote the rest.
    double level(double hz) const
    {
        const double w = windowFactor();
        return std::sqrt(spectrum.peakBetween(hz / w, hz * w) / reference);
    }
};

int harmonicCount(double f0, const PitchOptions& options)
{
    return std::clamp(static_cast<int>(options.maxHarmonicHz / f0), 1, options.maxHarmonics);
}

double score(const Comb& comb, double f0, const PitchOptions& options)
{
    const int count = harmonicCount(f0, options);
    double sum = 0.0;
    for (int h = 1; h <= count; ++h) {
        const double weight = (f0 + kAlphaHz) / (h * f0 + kBetaHz);
        sum += weight * (comb.level(h * f0) - comb.level((h - 0.5) * f0));
    }
    return sum;
}

double referenceMagnitude(const Spectrum& spectrum, const PitchOptions& options)
{
    return spectrum.peakBetween(noteToHz(options.lowestNote) / windowFactor(), options.maxHarmonicHz);
}

double refineFundamental(const Spectrum& spectrum, double f0, const PitchOptions& options)
{
    const double w = windowFactor();
    const int count = std::min(kRefineHarmonics, harmonicCount(f0, options));
    double strongest = 0.0;
    for (int h = 1; h <= count; ++h)
        strongest = std::max(strongest, spectrum.peakBetween(h * f0 / w, h * f0 * w));
    double weighted = 0.0, weights = 0.0;
    for (int h = 1; h <= count; ++h) {
        const double magnitude = spectrum.peakBetween(h * f0 / w, h * f0 * w);
        if (magnitude < 0.1 * strongest)
            continue;  // too weak to locate reliably
        const double weight = magnitude / h;
        weighted += weight * spectrum.peakFrequencyBetween(h * f0 / w, h * f0 * w) / h;
        weights += weight;
    }
    return weights > 0.0 ? weighted / weights : f0;
}

}  // namespace

double combScore(const Spectrum& spectrum, double f0, const PitchOptions& options)
{
    const double reference = referenceMagnitude(spectrum, options);
    if (reference < kSilence)
        return 0.0;
    return score(Comb{spectrum, reference}, f0, options);
}

std::optional<Pitch> estimatePitch(const Spectrum& spectrum, const PitchOptions& options)
{
    const double reference = referenceMagnitude(spectrum, options);
    if (spectrum.empty() || reference < kSilence)
        return std::nullopt;
    const Comb comb{spectrum, reference};

    int bestNote = options.lowestNote;
    double bestScore = -1e300;
    for (int note = options.lowestNote; note <= options.highestNote; ++note) {
        const double s = score(comb, noteToHz(note), options);
        if (s > bestScore) {
            bestScore = s;
            bestNote = note;
        }
    }
    if (bestScore <= 0.0)
        return std::nullopt;

    Pitch pitch;
    pitch.hz = refineFundamental(spectrum, noteToHz(bestNote), options);
    // The comb's choice names the note: dropouts in a recording smear the
    // peaks and can pull the refined frequency towards a neighbour.
    pitch.note = bestNote;
    pitch.cents = centsBetween(pitch.hz, noteToHz(bestNote));
    pitch.salience = bestScore;
    return pitch;
}

}  // namespace analysis
