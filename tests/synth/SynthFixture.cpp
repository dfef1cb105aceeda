#include "SynthFixture.h"

#include "Analysis.h"
#include "midi/ShortMessage.h"
#include "synth/SoundFontPath.h"

#include <cmath>
#include <vector>

namespace synthtest {

namespace {
constexpr std::uint32_t kAllSoundOff = 120;
constexpr std::uint32_t kResetAllControllers = 121;
constexpr double kQuietDbfs = -120.0;
constexpr double kQuietingBlockSeconds = 0.1;
constexpr double kMaxQuietingSeconds = 5.0;
}  // namespace

std::unique_ptr<synth::SynthEngine> offlineEngine(std::string* why)
{
    const auto soundFont = synth::findSoundFont();
    if (!soundFont) {
        *why = "no SoundFont installed";
        return nullptr;
    }
    synth::SynthConfig config;
    config.soundFont = *soundFont;
    return synth::SynthEngine::create(config, why, nullptr);
}

analysis::Audio render(synth::SynthEngine& engine, double seconds)
{
    const auto frames = static_cast<int>(std::lround(seconds * engine.sampleRate()));
    std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
    engine.render(left.data(), right.data(), frames);
    analysis::Audio out;
    out.rate = engine.sampleRate();
    out.samples.resize(left.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        out.samples[i] = 0.5f * (left[i] + right[i]);
    return out;
}

void silence(synth::SynthEngine& engine)
{
    // A system reset leaves voices playing; All Sound Off ends them at once.
    engine.play(midi::pack(0xB0, kAllSoundOff));
    engine.play(midi::pack(0xB0, kResetAllControllers));
    // The reverb still rings for a moment after the voices are gone.
    for (double t = 0.0; t < kMaxQuietingSeconds; t += kQuietingBlockSeconds) {
        const analysis::Audio block = render(engine, kQuietingBlockSeconds);
        if (analysis::peakDb(block, 0.0, block.duration()) < kQuietDbfs)
            return;
    }
}

void strike(synth::SynthEngine& engine, int program, int note)
{
    silence(engine);
    engine.play(midi::programChange(static_cast<std::uint32_t>(program)));
    engine.play(midi::noteOn(static_cast<std::uint32_t>(note)));
}

}  // namespace synthtest
