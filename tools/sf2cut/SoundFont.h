#pragma once
// A SoundFont 2 file as its records: the INFO list and the sample data kept
// as bytes, the preset, instrument and sample tables (the "hydra") decoded.
// Reading checks every size and index that cutting relies on, so that a
// damaged file is refused with a reason instead of being cut into a broken one.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace sf2 {

using Bytes = std::span<const std::uint8_t>;

// Why a file is not a SoundFont that can be cut.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using Name = std::array<char, 20>;

struct PresetHeader {
    Name name{};
    std::uint16_t program = 0;
    std::uint16_t bank = 0;
    std::uint16_t bagIndex = 0;
    std::uint32_t library = 0;
    std::uint32_t genre = 0;
    std::uint32_t morphology = 0;
};

struct Bag {
    std::uint16_t generatorIndex = 0;
    std::uint16_t modulatorIndex = 0;
};

// Copied as they are: a modulator names no preset, instrument or sample.
using Modulator = std::array<std::uint8_t, 10>;

struct Generator {
    std::uint16_t operation = 0;
    std::uint16_t amount = 0;
};

inline constexpr std::uint16_t kInstrumentGenerator = 41;
inline constexpr std::uint16_t kSampleGenerator = 53;

struct InstrumentHeader {
    Name name{};
    std::uint16_t bagIndex = 0;
};

struct SampleHeader {
    Name name{};
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0;
    std::uint32_t sampleRate = 0;
    std::uint8_t originalPitch = 0;
    std::int8_t pitchCorrection = 0;
    std::uint16_t link = 0;
    std::uint16_t type = 0;

    bool inRom() const { return (type & 0x8000) != 0; }
    // Right, left and linked samples name their partner by index.
    bool linked() const { return (type & 0x000E) != 0; }
};

// Each table ends with its terminal record, as in the file.
struct Hydra {
    std::vector<PresetHeader> presets;
    std::vector<Bag> presetBags;
    std::vector<Modulator> presetModulators;
    std::vector<Generator> presetGenerators;
    std::vector<InstrumentHeader> instruments;
    std::vector<Bag> instrumentBags;
    std::vector<Modulator> instrumentModulators;
    std::vector<Generator> instrumentGenerators;
    std::vector<SampleHeader> samples;
};

// A view of a SoundFont; the bytes belong to whoever read or made it.
struct SoundFont {
    Bytes info;       // body of LIST INFO after its "INFO"
    Bytes samples;    // smpl: 16-bit sample points
    Bytes samples24;  // sm24: the low byte of 24-bit points, or empty
    Hydra hydra;

    std::size_t samplePoints() const { return samples.size() / 2; }
};

// Throws FormatError when the bytes are not a whole, consistent SoundFont 2.
SoundFont read(Bytes file);

// The file's bytes.
std::vector<std::uint8_t> write(const SoundFont& soundFont);

}  // namespace sf2
