#pragma once
// Magnitude spectrum of a stretch of audio (FFTW): Hann window, zero-padded so that
// harmonics of the lowest notes fall on distinct bins.

#include "SoundFile.h"

#include <cstddef>
#include <vector>

namespace analysis {

struct SpectrumOptions {
    double length = 16384.0 / 48000.0;  // seconds analysed, about a third of a second
    std::size_t fftSize = 65536;       // with zero padding: 0.73 Hz per bin at 48 kHz
};

struct Spectrum {
    double binHz = 0.0;
    std::vector<double> magnitude;  // bins 0 .. fftSize/2, amplitude of a full-scale sine ~ 1

    bool empty() const { return magnitude.empty(); }
    // Largest magnitude between two frequencies (inclusive of the nearest bins).
    double peakBetween(double lowHz, double highHz) const;
    // Frequency of that peak, refined by a parabola through its neighbours.
    double peakFrequencyBetween(double lowHz, double highHz) const;
};

// The spectrum of [start, start + options.length); parts outside the audio are silence.
Spectrum spectrumAt(const Audio& audio, double start, const SpectrumOptions& options = {});

// What grew from `before` to `after`, bin by bin (never negative): a note that
// starts while others keep sounding shows up alone.
Spectrum rise(const Spectrum& before, const Spectrum& after);

}  // namespace analysis
