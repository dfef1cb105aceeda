#include "SoundFontPath.h"

#include <array>
#include <filesystem>
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

std::string programDirectory()
{
    // Linux names the program's file here; elsewhere the piano does without
    // its own SoundFont and plays the system's.
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

std::string ownSoundFont(const std::string& programDir)
{
    if (programDir.empty())
        return {};
    return (std::filesystem::path(programDir) / PLINKORA_OWN_SOUNDFONT).lexically_normal().string();
}

std::optional<std::string> installedSoundFont(const std::string& programDir,
                                              const std::function<bool(const std::string&)>& readable)
{
    const std::string own = ownSoundFont(programDir);
    const std::array<const char*, 1> first = {own.c_str()};
    if (!own.empty())
        if (auto found = findSoundFont(first, readable))
            return found;
    return findSoundFont(soundFontCandidates(), readable);
}

}  // namespace synth
