#pragma once
// Where the embedded synthesizer looks for its General MIDI SoundFont.

#include <functional>
#include <optional>
#include <span>
#include <string>

namespace synth {

// In order of preference: the GM bank we test with (every instrument of the
// F-keys dies away by itself), then the distribution's default GM bank.
std::span<const char* const> soundFontCandidates();

// The first candidate that `readable` accepts, or nothing.
std::optional<std::string> findSoundFont(
    std::span<const char* const> candidates = soundFontCandidates(),
    const std::function<bool(const std::string&)>& readable = nullptr);

}  // namespace synth
