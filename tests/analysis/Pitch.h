#pragma once
// Pitch of a note from its spectrum, and which note rose between two moments.
//
// Piano-like spectra often have a weak fundamental and strong low partials, so
// the highest peak is no guide. Each candidate MIDI note is scored by a comb:
// the level at its harmonics minus the level half-way between them. A sub-octave
// candidate gains nothing from the in-between points and an octave-up candidate
// is charged for the odd partials it skips, so the true note wins.

#include "Fourier.h"

#include <optional>

namespace analysis {

struct PitchOptions {
    int lowestNote = 24;
    int highestNote = 108;
    double maxHarmonicHz = 5000.0;
    int maxHarmonics = 16;
};

struct Pitch {
    double hz = 0.0;     // fundamental, refined from the partials' peaks
    int note = 0;        // the MIDI note whose harmonic comb fits best
    double cents = 0.0;  // hz relative to that note, within about +-50
    double salience = 0.0;  // comb score of the winning candidate (relative, for comparisons)
};

// Nothing when the spectrum holds no energy at any candidate's harmonics.
std::optional<Pitch> estimatePitch(const Spectrum& spectrum, const PitchOptions& options = {});

// The comb score of one candidate fundamental; exposed for diagnostics.
double combScore(const Spectrum& spectrum, double f0, const PitchOptions& options = {});

}  // namespace analysis
