// Fuzz target: the SoundFont cutter's reading, cutting and writing, on a
// small valid SoundFont that the input damages (bytes overwritten, the end
// cut off). Invariants: a file is either refused with a FormatError or cut;
// what the cutter writes reads back, and cutting it again gives the same bytes.

#include "Cut.h"
#include "FuzzInput.h"

#include <array>

namespace {

constexpr std::array<int, 2> kPrograms = {0, 5};

// Two kept presets, one of another bank, sharing two instruments, three
// samples of which two are a stereo pair.
std::vector<std::uint8_t> seed()
{
    static const std::vector<std::uint8_t> info = {'i', 'f', 'i', 'l', 4, 0, 0, 0, 2, 0, 1, 0};
    static const std::vector<std::uint8_t> points(2 * 300, 7);
    sf2::SoundFont sf{info, points, {}, {}};
    sf2::Hydra& h = sf.hydra;
    const sf2::Modulator mod = {2, 2, 48, 0, 0x10, 0, 0, 0, 0, 0};
    h.presets = {{{}, 0, 0, 0}, {{}, 5, 0, 1}, {{}, 0, 128, 3}, {{}, 0, 0, 4}};
    h.presetBags = {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 1}};
    h.presetGenerators = {{41, 0}, {17, 500}, {41, 1}, {41, 1}, {}};
    h.presetModulators = {mod, {}};
    h.instruments = {{{}, 0}, {{}, 2}, {{}, 3}};
    h.instrumentBags = {{0, 0}, {2, 0}, {3, 1}, {4, 1}};
    h.instrumentGenerators = {{43, 0x7F00}, {53, 0}, {53, 2}, {53, 1}, {}};
    h.instrumentModulators = {mod, {}};
    h.samples = {{{}, 0, 50, 10, 40, 44100, 60, 0, 0, 1},
                 {{}, 100, 150, 110, 140, 44100, 60, 0, 2, 2},
                 {{}, 200, 250, 210, 240, 44100, 60, 0, 1, 4},
                 {{}}};
    return sf2::write(sf);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<std::uint8_t> valid = seed();
    fuzz::Input in(data, size);
    std::vector<std::uint8_t> file = valid;
    const std::size_t cutOff = in.take<std::uint16_t>() % 64;
    if (in.takeBool())
        file.resize(file.size() - cutOff);
    // A few bytes at a time: a file riddled with damage is refused at once.
    for (int edits = 1 + in.take<std::uint8_t>() % 4; edits > 0 && !file.empty(); --edits)
        file[in.take<std::uint16_t>() % file.size()] = in.take<std::uint8_t>();

    std::vector<std::uint8_t> written;
    try {
        written = sf2::write(sf2::cut(sf2::read(file), kPrograms).soundFont);
    } catch (const sf2::FormatError&) {
        return 0;
    }
    const sf2::CutSoundFont again = sf2::cut(sf2::read(written), kPrograms);
    for (std::size_t p = 0; p + 1 < again.soundFont.hydra.presets.size(); ++p)
        FUZZ_CHECK(again.soundFont.hydra.presets[p].bank == 0);
    FUZZ_CHECK(sf2::write(again.soundFont) == written);
    return 0;
}
