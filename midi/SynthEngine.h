#pragma once
// One embedded FluidSynth synthesizer with its SoundFont and, optionally, its
// audio output. Built in the order FluidSynth requires (settings, synth,
// SoundFont, audio driver last) and torn down in reverse (driver first).

#include "MidiOut.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;

namespace midi {

struct SynthConfig {
    std::string soundFont;
    double sampleRate = 48000.0;
    // Frames per audio period. The PulseAudio driver keeps exactly one period
    // queued (adjust-latency off), so this is the output latency: 256 frames
    // at 48 kHz is 5.3 ms. bench/ measures key-to-sound with it.
    int periodSize = 256;
    int periods = 2;
    // Samples are read when an instrument is first selected rather than all
    // 148 MB at start: start-up is three times faster and memory a third.
    bool dynamicSampleLoading = true;
    // Audio drivers tried in order; empty means no audio output (offline rendering).
    std::vector<std::string> audioDrivers;
};

// The audio drivers for this platform, best first.
std::vector<std::string> defaultAudioDrivers();

class SynthEngine {
public:
    // Returns the engine, or nullptr with a one-line reason and a status in
    // WinMM's vocabulary.
    static std::unique_ptr<SynthEngine> create(const SynthConfig& config, std::string* why, Status* status);
    ~SynthEngine();
    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // Plays one MIDI short message (running status accepted).
    Status play(std::uint32_t message);

    int activeVoices() const;
    // Renders audio without a driver (tests, benchmarks): `frames` stereo frames.
    void render(float* left, float* right, int frames);
    double sampleRate() const { return sampleRate_; }
    _fluid_synth_t* synth() const { return synth_; }

private:
    SynthEngine() = default;
    bool startAudio(const std::vector<std::string>& drivers, std::string* why);

    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    _fluid_audio_driver_t* driver_ = nullptr;
    double sampleRate_ = 0;
    std::uint8_t runningStatus_ = 0;
};

}  // namespace midi
