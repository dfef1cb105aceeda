// plinkora-sf2cut: cuts a SoundFont 2 file down to the melodic presets of a
// list of programs.
//   plinkora-sf2cut [--programs P,P,...] INPUT OUTPUT
// Without --programs, the programs of the piano's function keys. OUTPUT is
// written whole or not at all: a damaged INPUT leaves no file behind.

#include "Cut.h"
#include "ui/KeyboardMap.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::optional<std::vector<int>> parsePrograms(const std::string& list)
{
    std::vector<int> programs;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');) {
        std::size_t used = 0;
        int program = -1;
        try {
            program = std::stoi(item, &used);
        } catch (const std::exception&) {
            return std::nullopt;
        }
        if (used != item.size() || program < 0 || program > 127)
            return std::nullopt;
        programs.push_back(program);
    }
    if (programs.empty())
        return std::nullopt;
    return programs;
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw sf2::FormatError("cannot open: " + std::string(std::strerror(errno)));
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (in.bad())
        throw sf2::FormatError("cannot read: " + std::string(std::strerror(errno)));
    return bytes;
}

// Beside the target and renamed over it, so that OUTPUT is never half written.
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(part);
            throw sf2::FormatError(path + ": cannot write: " + std::strerror(errno));
        }
    }
    std::filesystem::rename(part, path);
}

int usage()
{
    std::fprintf(stderr, "usage: plinkora-sf2cut [--programs P,P,...] INPUT OUTPUT\n");
    return kUsage;
}

}  // namespace

int main(int argc, char* argv[])
{
    std::vector<int> programs(keymap::kFunctionKeyPrograms.begin(), keymap::kFunctionKeyPrograms.end());
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--programs" && i + 1 < argc) {
            const auto parsed = parsePrograms(argv[++i]);
            if (!parsed)
                return usage();
            programs = *parsed;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        return usage();
    const std::string& input = files[0];
    const std::string& output = files[1];

    try {
        const std::vector<std::uint8_t> bytes = readFile(input);
        const sf2::CutSoundFont cut = sf2::cut(sf2::read(bytes), programs);
        const std::vector<std::uint8_t> written = sf2::write(cut.soundFont);
        writeFile(output, written);
        const sf2::Hydra& h = cut.soundFont.hydra;
        std::printf("plinkora-sf2cut: %s: %zu presets, %zu instruments, %zu samples, %zu bytes\n", output.c_str(),
                    h.presets.size() - 1, h.instruments.size() - 1, h.samples.size() - 1, written.size());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "plinkora-sf2cut: %s: %s\n", input.c_str(), error.what());
        return kFailed;
    }
}
