#pragma once
// One embedded FluidSynth synthesizer with its SoundFont and, optionally, its
// audio output. Built in the order FluidSynth requires (settings, synth,
// SoundFont, audio driver last) and torn down in reverse (driver first).

#include "MidiOut.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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
    // queued (adjust-latency off), so this is the output latency: 384 frames
    // at 48 kHz is 8 ms. It is the smallest period that stayed free of
    // dropouts with both cores busy; 256 dropped out over a hundred times a
    // minute (bench/e2e_keytosound.sh).
    int periodSize = 384;
    int periods = 2;
    // Samples are read when an instrument is first selected rather than all
    // 148 MB at start: start-up is three times faster and memory a third.
    bool dynamicSampleLoading = true;
    // Audio drivers tried in order; empty means no audio output (offline rendering).
    std::vector<std::string> audioDrivers;
    // After this long without a voice and without sound, a driver that pushes
    // audio (PulseAudio, ALSA) stops rendering until the next message: an idle
    // piano then costs no CPU. 0 renders all the time.
    double idleSleepSeconds = 0.25;
};

// The audio drivers for this platform, best first.
std::vector<std::string> defaultAudioDrivers();

class SynthEngine {
public:
    // Returns the engine with its audio output, or nullptr with a one-line
    // reason and a status in WinMM's vocabulary: load() then startAudio().
    static std::unique_ptr<SynthEngine> create(const SynthConfig& config, std::string* why, Status* status);
    // The synthesizer with its SoundFont, silent: the slow part of create(),
    // which may run on another thread.
    static std::unique_ptr<SynthEngine> load(const SynthConfig& config, std::string* why, Status* status);
    // Creates the audio driver, the last step; false with a reason on failure.
    bool startAudio(const std::vector<std::string>& drivers, std::string* why);
    ~SynthEngine();
    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // Plays one MIDI short message (running status accepted).
    Status play(std::uint32_t message);

    int activeVoices() const;
    // True while the audio thread sleeps because nothing sounds.
    bool isAudioAsleep() const { return asleep_.load(std::memory_order_acquire); }
    // Renders audio without a driver (tests, benchmarks): `frames` stereo frames.
    void render(float* left, float* right, int frames);
    double sampleRate() const { return sampleRate_; }
    _fluid_synth_t* synth() const { return synth_; }

private:
    SynthEngine() = default;
    static int renderForDriver(void* engine, int frames, int nfx, float* fx[], int nout, float* out[]);
    Status playMessage(std::uint32_t message);
    int selectInstrument(int channel, const std::function<int()>& select);
    bool prepareChannel(int channel);
    void sleepWhileQuiet();
    void wakeAudio();
    void stopAudio();

    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    _fluid_audio_driver_t* driver_ = nullptr;
    double sampleRate_ = 0;
    int soundFontId_ = -1;
    std::uint16_t preparedChannels_ = 0;  // channels given their first instrument
    std::string unreadable_;              // why an instrument could not be read, to report
    std::uint8_t runningStatus_ = 0;

    // Idle sleep of the audio thread: it waits on `wake_` once `quietFrames_`
    // reaches `sleepAfterFrames_`; every message sets `woken_` and wakes it.
    double idleSleepSeconds_ = 0;
    int sleepAfterFrames_ = 0;
    int quietFrames_ = 0;  // audio thread only
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
    std::atomic<bool> asleep_{false};
};

}  // namespace midi
