// Fuzz target: the MIDI voice and the embedded synthesizer, offline (no audio
// driver). Arbitrary 32-bit messages straight into SynthEngine::play,
// arbitrary 16-bit values through sMidi (into a recorder and into the real
// synthesizer), renders in between. Invariants: play answers with a status of
// its vocabulary; the voice only ever sends note-on at velocity 100, program
// change or the stored note-off on channel 1, with data bytes in range; the
// voice count stays within the polyphony; the output stays finite.

#include "midi/FluidSynthOutput.h"
#include "FuzzInput.h"
#include "synth/NoSoundReport.h"
#include "midi/RecordingOutput.h"
#include "midi/ShortMessage.h"
#include "synth/SoundFontPath.h"
#include "midi/sMidi.h"

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int kMaxVoices = 256;  // FluidSynth's default polyphony
constexpr int kMaxRenderFrames = 256;

// Passes every call on to the synthesizer and remembers the handle it opened,
// so that the target can reach the engine behind the voice.
class Tap final : public midi::OutputPort {
public:
    explicit Tap(midi::FluidSynthOutput& inner) : inner_(inner) {}
    midi::Status open(midi::Handle* handle, std::uint32_t deviceId) override
    {
        const midi::Status result = inner_.open(handle, deviceId);
        opened = *handle;
        return result;
    }
    midi::Status sendShort(midi::Handle handle, std::uint32_t message) override
    {
        return inner_.sendShort(handle, message);
    }
    midi::Status close(midi::Handle handle) override { return inner_.close(handle); }
    midi::Handle opened = 0;

private:
    midi::FluidSynthOutput& inner_;
};

std::unique_ptr<midi::FluidSynthOutput> output;
std::unique_ptr<Tap> tap;
std::unique_ptr<sMidi> voice;  // open on the synthesizer
synth::SynthEngine* engine = nullptr;

bool isStatusOfPlay(midi::Status s)
{
    return s == midi::status::ok || s == midi::status::error || s == midi::status::invalidParam;
}

// A message the voice may send: note-on at velocity 100, note-off (or the 0
// sent before the first note), or a program change, all on channel 1.
void checkVoiceMessage(std::uint32_t message)
{
    if (message == 0)
        return;
    FUZZ_CHECK((message >> 24) == 0);
    const auto [status, data1, data2] = midi::unpack(message);
    FUZZ_CHECK(data1 <= 127);
    switch (status) {
    case 0x90: FUZZ_CHECK(data2 == midi::kNoteOnVelocity); break;
    case 0x80:
    case 0xC0: FUZZ_CHECK(data2 == 0); break;
    default: FUZZ_CHECK(!"status byte the voice never sends");
    }
}

void renderAndCheck(int frames)
{
    static std::vector<float> left(kMaxRenderFrames), right(kMaxRenderFrames);
    engine->render(left.data(), right.data(), frames);
    for (int i = 0; i < frames; ++i)
        FUZZ_CHECK(std::isfinite(left[static_cast<std::size_t>(i)]) && std::isfinite(right[static_cast<std::size_t>(i)]));
    FUZZ_CHECK(engine->activeVoices() >= 0 && engine->activeVoices() <= kMaxVoices);
}

// Every input starts from silence and default controllers on every channel.
void resetSynth()
{
    for (std::uint32_t channel = 0; channel < 16; ++channel) {
        output->sendShort(tap->opened, midi::pack(0xB0 | channel, 120));  // All Sound Off
        output->sendShort(tap->opened, midi::pack(0xB0 | channel, 121));  // Reset All Controllers
    }
    output->sendShort(tap->opened, 0xFF);  // system reset
}

void voiceStep(fuzz::Input& in, sMidi& target)
{
    const std::int16_t value = in.take<std::int16_t>();
    switch (in.take<std::uint8_t>() % 3) {
    case 0: target.outNum(value); break;
    case 1:
        target.sType(value);
        FUZZ_CHECK(target.sType() >= 0 && target.sType() <= 127);
        break;
    case 2: target.MidStop(); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    synth::setNoSoundSink([](const std::string&) {});
    const auto soundFont = synth::findSoundFont();
    if (!soundFont) {
        std::fprintf(stderr, "fuzz_synth: no SoundFont installed; only the voice is fuzzed\n");
        return 0;
    }
    output = std::make_unique<midi::FluidSynthOutput>([path = *soundFont] {
        synth::SynthConfig config;
        config.soundFont = path;
        return config;
    });
    tap = std::make_unique<Tap>(*output);
    voice = std::make_unique<sMidi>(*tap);
    FUZZ_CHECK(voice->MidOpen() == 0);
    synth::Player* player = output->player(tap->opened);
    FUZZ_CHECK(player != nullptr);
    engine = &player->engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input in(data, size);
    midi::RecordingOutput recorder;
    sMidi recorded(recorder);
    recorded.MidOpen();
    if (engine)
        resetSynth();

    while (!in.empty()) {
        switch (in.take<std::uint8_t>() % 4) {
        case 0:
            if (engine)
                FUZZ_CHECK(isStatusOfPlay(output->sendShort(tap->opened, in.take<std::uint32_t>())));
            break;
        case 1: voiceStep(in, recorded); break;
        case 2:
            if (voice)
                voiceStep(in, *voice);
            break;
        case 3:
            if (engine)
                renderAndCheck(1 + in.take<std::uint16_t>() % kMaxRenderFrames);
            break;
        }
    }
    for (const std::uint32_t message : recorder.sent())
        checkVoiceMessage(message);
    return 0;
}
