#pragma once
// Where the embedded synthesizer looks for its General MIDI SoundFont.

#include <functional>
#include <optional>
#include <span>
#include <string>

namespace synth {

// The system's, in order of preference: the GM bank we test with (every
// instrument of the F-keys dies away by itself), then the distribution's
// default GM bank.
std::span<const char* const> soundFontCandidates();

// The directory of the running program, or "" where the system does not say.
std::string programDirectory();

// The piano's own SoundFont as seen from the program's directory: installed
// it is in the data directory beside the program's, and the build tree has
// it in the same place relative to app/.
std::string ownSoundFont(const std::string& programDir);

// The first candidate that `readable` accepts, or nothing.
std::optional<std::string> findSoundFont(
    std::span<const char* const> candidates = soundFontCandidates(),
    const std::function<bool(const std::string&)>& readable = nullptr);

// The SoundFont the program plays: its own, else the first of the system's.
std::optional<std::string> installedSoundFont(
    const std::string& programDir = programDirectory(),
    const std::function<bool(const std::string&)>& readable = nullptr);

}  // namespace synth
