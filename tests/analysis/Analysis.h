#pragma once
// Questions the tests ask of a recording, in seconds from its start.

#include "SoundFile.h"
#include "Pitch.h"
#include "Fourier.h"

#include <optional>
#include <vector>

namespace analysis {

// Level of a stretch of audio in dBFS (a full-scale sine reads -3 dB RMS, 0 dB peak).
double rmsDb(const Audio& audio, double start, double length);
double peakDb(const Audio& audio, double start, double length);

// The pitch of what sounds in the window starting at `start`.
std::optional<Pitch> pitchAt(const Audio& audio, double start, const SpectrumOptions& options = {});

struct RiseOptions {
    SpectrumOptions spectrum;
    // The "before" window ends this long before the note starts (a start a
    // little early must not leak into it) and the "after" window begins this
    // long after it (past the attack's noise).
    double guardBefore = 0.01;
    double delayAfter = 0.03;
};

// The note that started at `noteStart`, found from what grew between a window
// just before it and one just after it: earlier notes keep sounding, so the
// level alone cannot tell them apart.
std::optional<Pitch> noteThatRose(const Audio& audio, double noteStart, const RiseOptions& options = {});
// What grew: the spectrum noteThatRose reads.
Spectrum spectrumThatRose(const Audio& audio, double noteStart, const RiseOptions& options = {});

struct OnsetOptions {
    double frame = 64.0 / 48000.0;  // seconds per level frame
    double referenceLength = 0.05;  // noise floor measured over this, just before `after`
    double riseDb = 12.0;           // the onset is this far above the floor ...
    double minimumDb = -70.0;       // ... and at least this loud
    double lookBack = 0.01;         // longer than a period of the lowest note
};

// The first time after `after` that the level rises clearly above what it was
// just before `after`; refined to the first sample above onsetThreshold().
std::optional<double> findOnset(const Audio& audio, double after, const OnsetOptions& options = {});
// The sample level findOnset looks for: twice the peak just before `after`.
double onsetThreshold(const Audio& audio, double after, const OnsetOptions& options = {});
// The time of the first sample at or above `level` from `from` on, if any. On
// a clean render of a note it says how far findOnset reads behind its start.
std::optional<double> firstSampleAbove(const Audio& audio, double from, double level);

// Runs of at least `minimumLength` seconds of exact digital silence between
// `from` and `to`: what a sound server plays when a client is late.
int silentRuns(const Audio& audio, double from, double to, double minimumLength);

// Timbre as the spectrum on a frequency axis measured in harmonics of the note:
// bands of a quarter harmonic up to the 16th, in dB relative to the strongest.
// Inharmonic instruments (bells, music box) differ from harmonic ones here too.
std::vector<double> timbreProfile(const Spectrum& spectrum, double fundamentalHz);
// 0 for the same profile, 1 for nothing in common (mean absolute dB difference / 60 dB).
// Compare notes of one pitch: in FluidR3 a piano C4 struck twice is 0.05 apart,
// and 0.15 to 0.28 from the other F-key instruments' C4.
double timbreDistance(const std::vector<double>& a, const std::vector<double>& b);

}  // namespace analysis
