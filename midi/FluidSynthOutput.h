#pragma once
// MIDI output device 0 as the embedded FluidSynth synthesizer.

#include "MidiOut.h"
#include "synth/Player.h"

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>

namespace midi {

class FluidSynthOutput final : public OutputPort {
public:
    // Makes the synthesizer's configuration at each open; by default the
    // installed SoundFont and this platform's audio outputs.
    using ConfigSource = std::function<synth::SynthConfig()>;
    explicit FluidSynthOutput(ConfigSource config = synth::installedConfig);
    ~FluidSynthOutput() override;

    // Starts loading the synthesizer and its SoundFont, then opening its audio
    // output, on another thread, so that the first open, which still waits
    // for it and reports as ever, has less left to do; and readies the
    // calling thread's heap for the window it builds meanwhile.
    void prepare();

    Status open(Handle* handle, std::uint32_t deviceId) override;
    Status sendShort(Handle handle, std::uint32_t message) override;
    Status close(Handle handle) override;

    // The synthesizer behind an open handle (tests, benchmarks), or nullptr.
    synth::Player* player(Handle handle) const;

private:
    struct Loaded {
        std::unique_ptr<synth::Player> player;
        std::string why;  // when there is no player
        synth::Fault fault = synth::Fault::none;
    };
    static Loaded load(const synth::SynthConfig& config);

    ConfigSource config_;
    std::future<Loaded> preparing_;
    std::map<Handle, std::unique_ptr<synth::Player>> open_;
    // Handles count up and are never reused, so a closed handle stays invalid.
    Handle next_ = 0x51A70001;
};

}  // namespace midi
