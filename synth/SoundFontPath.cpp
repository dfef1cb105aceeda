#include "SoundFontPath.h"

#include <array>
#include <fstream>

namespace synth {

std::span<const char* const> soundFontCandidates()
{
    static constexpr std::array<const char*, 9> paths = {
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",     // Debian, Ubuntu: fluid-soundfont-gm
        "/usr/share/soundfonts/FluidR3_GM.sf2",     // Fedora, Arch
        "/usr/share/sounds/sf2/default-GM.sf2",     // Debian's alternatives link
        "/usr/share/soundfonts/default.sf2",        // Fedora, Arch
        "/usr/share/sounds/sf2/default.sf2",
        "/usr/share/soundfonts/FluidR3_GM2-2.sf2",  // openSUSE
        "/usr/local/share/soundfonts/default.sf2",  // BSDs, Homebrew on Intel
        "/opt/homebrew/share/soundfonts/default.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",       // last: its music box never ends
    };
    return paths;
}

namespace {
bool isReadableFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in.good() && in.peek() != std::ifstream::traits_type::eof();
}
}  // namespace

std::optional<std::string> findSoundFont(std::span<const char* const> candidates,
                                         const std::function<bool(const std::string&)>& readable)
{
    for (const char* path : candidates) {
        const std::string p(path);
        if (readable ? readable(p) : isReadableFile(p))
            return p;
    }
    return std::nullopt;
}

}  // namespace synth
