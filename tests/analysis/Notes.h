#pragma once
// Equal temperament at A4 = 440 Hz, MIDI note 69.

#include <cmath>

namespace analysis {

inline constexpr double kA4Hz = 440.0;
inline constexpr int kA4Note = 69;

inline double noteToHz(double note) { return kA4Hz * std::exp2((note - kA4Note) / 12.0); }
inline double hzToNote(double hz) { return kA4Note + 12.0 * std::log2(hz / kA4Hz); }
inline double centsBetween(double hz, double referenceHz) { return 1200.0 * std::log2(hz / referenceHz); }

}  // namespace analysis
