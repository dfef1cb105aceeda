#pragma once
// One embedded FluidSynth synthesizer with its SoundFont, built in the order
// FluidSynth requires (settings, synth, SoundFont).

#include "audio/AudioOut.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct _fluid_hashtable_t;
struct _fluid_synth_t;

namespace synth {

struct SynthConfig {
    std::string soundFont;
    double sampleRate = 48000.0;
    // Samples are read when an instrument is first selected rather than all
    // 148 MB at start: start-up is three times faster and memory a third.
    bool dynamicSampleLoading = true;
    // Audio outputs tried in order (see AudioOut.h); empty means none
    // (offline rendering).
    std::vector<std::string> audioOutputs;
    audio::AudioOptions audio;
};

// The installed SoundFont and this platform's audio outputs.
SynthConfig installedConfig();

// Why the synthesizer could not be made ready.
enum class Fault {
    none,
    noMemory,
    badSettings,
    noSoundFont,  // none found, unreadable, or without a piano
    noAudio,      // no audio output would open
};

// What became of a message.
enum class Played {
    ok,
    failed,   // the synthesizer refused it
    invalid,  // not a message: a data byte with no status to run on, or a system message
};

// The synthesizer with its SoundFont. It renders when asked (AudioSource) and
// knows nothing of where its audio goes.
class SynthEngine final : public audio::AudioSource {
public:
    // Returns the engine, or nullptr with a one-line reason and the fault.
    // The slow part of opening device 0, which may run on another thread.
    static std::unique_ptr<SynthEngine> create(const SynthConfig& config, std::string* why, Fault* fault);
    ~SynthEngine();
    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // Plays one MIDI short message, packed as it travels through the program:
    // status byte in bits 0-7, data bytes in 8-15 and 16-23. A data byte in
    // the status byte's place runs on the status before (running status).
    Played play(std::uint32_t message);

    // Takes the synthesizer's lock: not for the audio thread.
    int activeVoices() const;
    // Lock-free: for the audio thread.
    bool render(float* left, float* right, int step, int frames) override;
    // Offline rendering (tests, benchmarks): `frames` frames into two buffers.
    void render(float* left, float* right, int frames) { (void)render(left, right, 1, frames); }
    double sampleRate() const { return sampleRate_; }
    _fluid_synth_t* synth() const { return synth_; }

private:
    SynthEngine() = default;
    Played playMessage(std::uint8_t statusByte, std::uint8_t data1, std::uint8_t data2);
    int selectInstrument(int channel, const std::function<int()>& select);
    bool prepareChannel(int channel);

    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    double sampleRate_ = 0;
    int soundFontId_ = -1;
    std::uint16_t preparedChannels_ = 0;  // channels given their first instrument
    std::string unreadable_;              // why an instrument could not be read, to report
    std::uint8_t runningStatus_ = 0;
};

}  // namespace synth
