#pragma once
// MIDI output device 0 as the embedded FluidSynth synthesizer.

#include "MidiOut.h"
#include "SynthEngine.h"

#include <functional>
#include <map>
#include <memory>

namespace midi {

class FluidSynthOutput final : public OutputPort {
public:
    // Makes the synthesizer's configuration at each open; by default the
    // installed SoundFont and this platform's audio drivers.
    using ConfigSource = std::function<SynthConfig()>;
    explicit FluidSynthOutput(ConfigSource config = defaultConfig);
    ~FluidSynthOutput() override;

    Status open(Handle* handle, std::uint32_t deviceId) override;
    Status sendShort(Handle handle, std::uint32_t message) override;
    Status close(Handle handle) override;

    static SynthConfig defaultConfig();
    // The engine behind an open handle (tests, benchmarks), or nullptr.
    SynthEngine* engine(Handle handle) const;

private:
    ConfigSource config_;
    std::map<Handle, std::unique_ptr<SynthEngine>> open_;
    // Handles count up and are never reused, so a closed handle stays invalid.
    Handle next_ = 0x51A70001;
};

}  // namespace midi
