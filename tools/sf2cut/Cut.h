#pragma once
// Cuts a SoundFont down to the melodic presets (bank 0) of some programs:
// their zones, generators and modulators as they are, the instruments they
// use and the samples those use, renumbered, with only those samples' data.

#include "SoundFont.h"

#include <cstdint>
#include <span>
#include <vector>

namespace sf2 {

// The cut SoundFont and the sample data it views.
struct CutSoundFont {
    CutSoundFont() = default;
    CutSoundFont(CutSoundFont&&) = default;  // the vectors keep their data, the views stay valid
    CutSoundFont(const CutSoundFont&) = delete;
    std::vector<std::uint8_t> samples;
    std::vector<std::uint8_t> samples24;
    SoundFont soundFont;  // info views the source's bytes, samples the vectors above
};

// Throws FormatError when a program has no preset in bank 0 or a sample
// cannot be moved.
CutSoundFont cut(const SoundFont& source, std::span<const int> programs);

}  // namespace sf2
