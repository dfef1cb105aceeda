#include "SynthFixture.h"

#include "Analysis.h"
#include "ShortMessage.h"
#include "SoundFontPath.h"

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

std::unique_ptr<midi::SynthEngine> offlineEngine(std::string* why)
{
    const auto soundFont = midi::findSoundFont();
    if (!soundFont) {
        *why = "no SoundFont installed";
        return nullptr;
    }
    midi::SynthConfig config;
    config.soundFont = *soundFont;
    midi::Status status = 0;
    return midi::SynthEngine::create(config, why, &status);
}

audio::Audio render(midi::SynthEngine& engine, double seconds)
{
    const auto frames = static_cast<int>(std::lround(seconds * engine.sampleRate()));
    std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
    engine.render(left.data(), right.data(), frames);
    audio::Audio out;
    out.rate = engine.sampleRate();
    out.samples.resize(left.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        out.samples[i] = 0.5f * (left[i] + right[i]);
    return out;
}

void silence(midi::SynthEngine& engine)
{
    // A system reset leaves voices playing; All Sound Off ends them at once.
    engine.play(midi::pack(0xB0, kAllSoundOff));
    engine.play(midi::pack(0xB0, kResetAllControllers));
    // The reverb still rings for a moment after the voices are gone.
    for (double t = 0.0; t < kMaxQuietingSeconds; t += kQuietingBlockSeconds) {
        const audio::Audio block = render(engine, kQuietingBlockSeconds);
        if (audio::peakDb(block, 0.0, block.duration()) < kQuietDbfs)
            return;
    }
}

void strike(midi::SynthEngine& engine, int program, int note)
{
    silence(engine);
    engine.play(midi::programChange(static_cast<std::uint32_t>(program)));
    engine.play(midi::noteOn(static_cast<std::uint32_t>(note)));
}

}  // namespace synthtest
