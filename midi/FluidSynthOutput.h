#pragma once
// MIDI output device 0 as the embedded FluidSynth synthesizer.

#include "MidiOut.h"
#include "SynthEngine.h"

#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>

namespace midi {

class FluidSynthOutput final : public OutputPort {
public:
    // Makes the synthesizer's configuration at each open; by default the
    // installed SoundFont and this platform's audio drivers.
    using ConfigSource = std::function<SynthConfig()>;
    explicit FluidSynthOutput(ConfigSource config = defaultConfig);
    ~FluidSynthOutput() override;

    // Starts loading the synthesizer and its SoundFont, then opening its audio
    // output, on another thread, so that the first open, which still waits
    // for it and reports as ever, has less left to do.
    void prepare();

    Status open(Handle* handle, std::uint32_t deviceId) override;
    Status sendShort(Handle handle, std::uint32_t message) override;
    Status close(Handle handle) override;

    static SynthConfig defaultConfig();
    // The engine and the audio output behind an open handle (tests,
    // benchmarks), or nullptr; the output is nullptr when it plays offline.
    SynthEngine* engine(Handle handle) const;
    AudioOutput* audio(Handle handle) const;

private:
    // The audio output is opened last and, declared after the engine it
    // renders from, closed first; so is one being opened in its place.
    struct Device {
        std::unique_ptr<SynthEngine> engine;
        std::unique_ptr<AudioOutput> audio;
        std::vector<std::string> audioOutputs;
        AudioOptions audioOptions;
        std::future<std::unique_ptr<AudioOutput>> replacement;
        std::chrono::steady_clock::time_point lastReplacement;
    };
    static void replaceLostAudio(Device& device);
    struct Loaded {
        Device device;
        std::string why;  // when the device is incomplete
        Status status = status::error;
    };
    static Loaded load(const SynthConfig& config);

    ConfigSource config_;
    std::future<Loaded> preparing_;
    std::map<Handle, Device> open_;
    // Handles count up and are never reused, so a closed handle stays invalid.
    Handle next_ = 0x51A70001;
};

}  // namespace midi
