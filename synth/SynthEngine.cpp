#include "SynthEngine.h"

#include "HeapWarmup.h"
#include "NoSoundReport.h"
#include "SoundFontPath.h"
#include "audio/FluidLog.h"

#include <fluidsynth.h>

#include <algorithm>
#include <functional>
#include <cmath>

namespace synth {

namespace {

bool setInt(fluid_settings_t* s, const char* name, int value) { return fluid_settings_setint(s, name, value) == FLUID_OK; }
bool setNum(fluid_settings_t* s, const char* name, double value) { return fluid_settings_setnum(s, name, value) == FLUID_OK; }

std::string withDetail(std::string what, const std::string& detail)
{
    return detail.empty() ? what : what + " (" + detail + ")";
}

// What a new synthesizer fills on its thread: its voices and effects, then
// the piano's samples (about 12 MB of FluidR3's).
constexpr std::size_t kSynthesizerHeap = 14 << 20;

// Below this peak a buffer counts as silence (about -90 dBFS).
constexpr float kSilencePeak = 3e-5f;

// Peak of a strided channel.
float peakOf(const float* samples, int step, int frames)
{
    float peak = 0;
    for (int i = 0; i < frames; ++i)
        peak = std::max(peak, std::fabs(samples[i * step]));
    return peak;
}

bool applySynthSettings(fluid_settings_t* s, const SynthConfig& c)
{
    return setNum(s, "synth.sample-rate", c.sampleRate)
        && setInt(s, "synth.dynamic-sample-loading", c.dynamicSampleLoading ? 1 : 0)
        // Pinning 60-200 MB of samples fails for a normal user and buys nothing here.
        && setInt(s, "synth.lock-memory", 0);
}

}  // namespace

SynthConfig installedConfig()
{
    SynthConfig config;
    config.soundFont = installedSoundFont().value_or(std::string());
    config.audioOutputs = audio::defaultAudioOutputs();
    return config;
}

std::unique_ptr<SynthEngine> SynthEngine::create(const SynthConfig& config, std::string* why, Fault* fault)
{
    warmHeap(kSynthesizerHeap);
    audio::fluidlog::Capture capture;
    auto fail = [&](Fault f, std::string reason) -> std::unique_ptr<SynthEngine> {
        if (why)
            *why = withDetail(std::move(reason), capture.lastMessage());
        if (fault)
            *fault = f;
        return nullptr;
    };

    std::unique_ptr<SynthEngine> engine(new SynthEngine);
    engine->settings_ = new_fluid_settings();
    if (!engine->settings_)
        return fail(Fault::noMemory, "cannot create the synthesizer's settings");
    if (!applySynthSettings(engine->settings_, config))
        return fail(Fault::badSettings, "the synthesizer rejected its settings");
    engine->sampleRate_ = config.sampleRate;

    engine->synth_ = new_fluid_synth(engine->settings_);
    if (!engine->synth_)
        return fail(Fault::noMemory, "cannot create the synthesizer");

    if (config.soundFont.empty())
        return fail(Fault::noSoundFont, "no General MIDI SoundFont found (install fluid-soundfont-gm)");
    // Without resetting the channels: each channel gets its instrument when
    // it is first used, so start-up reads only the piano's samples, not those
    // of the drum kit and fifteen channels nobody may ever play.
    engine->soundFontId_ = fluid_synth_sfload(engine->synth_, config.soundFont.c_str(), 0);
    if (engine->soundFontId_ == FLUID_FAILED)
        return fail(Fault::noSoundFont, "cannot load the SoundFont " + config.soundFont);
    if (!engine->prepareChannel(0))
        return fail(Fault::noSoundFont, "the SoundFont " + config.soundFont + " has no piano");
    if (fault)
        *fault = Fault::none;
    return engine;
}

SynthEngine::~SynthEngine()
{
    if (synth_)
        delete_fluid_synth(synth_);
    if (settings_)
        delete_fluid_settings(settings_);
}

Played SynthEngine::play(std::uint32_t message)
{
    const auto byte = [message](int n) { return static_cast<std::uint8_t>(message >> (8 * n)); };
    const Played result = playMessage(byte(0), byte(1), byte(2));
    if (!unreadable_.empty()) {
        reportNoSound(unreadable_);
        unreadable_.clear();
    }
    // What went wrong on another thread meanwhile (an audio driver's) is said
    // here, on the thread that plays.
    if (const std::optional<std::string> error = audio::fluidlog::takeUncapturedError())
        reportNoSound(*error);
    return result;
}

Played SynthEngine::playMessage(std::uint8_t statusByte, std::uint8_t data1, std::uint8_t data2)
{
    if (statusByte < 0x80) {
        // Running status: the message starts with its first data byte.
        if (runningStatus_ == 0)
            return Played::invalid;
        data2 = data1;
        data1 = statusByte;
        statusByte = runningStatus_;
    } else if (statusByte >= 0xF8) {
        // Real-time bytes: only a reset means anything to a synthesizer.
        if (statusByte == 0xFF && fluid_synth_system_reset(synth_) != FLUID_OK)
            return Played::failed;
        return Played::ok;
    } else if (statusByte >= 0xF0) {
        runningStatus_ = 0;
        return Played::invalid;
    } else {
        runningStatus_ = statusByte;
    }

    const int channel = statusByte & 0x0F;
    if (!prepareChannel(channel))
        return Played::failed;
    const int d1 = data1 & 0x7F;
    const int d2 = data2 & 0x7F;
    int result = FLUID_OK;
    switch (statusByte & 0xF0) {
    case 0x80:
        // Fails when the note has already died away: nothing left to stop.
        (void)fluid_synth_noteoff(synth_, channel, d1);
        break;
    case 0x90:
        if (d2 == 0)
            (void)fluid_synth_noteoff(synth_, channel, d1);  // velocity 0 is a note-off
        else
            result = fluid_synth_noteon(synth_, channel, d1, d2);
        break;
    case 0xA0:
        result = fluid_synth_key_pressure(synth_, channel, d1, d2);
        break;
    case 0xB0:
        result = fluid_synth_cc(synth_, channel, d1, d2);
        break;
    case 0xC0:
        result = selectInstrument(channel, [&] { return fluid_synth_program_change(synth_, channel, d1); });
        break;
    case 0xD0:
        result = fluid_synth_channel_pressure(synth_, channel, d1);
        break;
    case 0xE0:
        result = fluid_synth_pitch_bend(synth_, channel, d1 | (d2 << 7));
        break;
    }
    return result == FLUID_OK ? Played::ok : Played::failed;
}

int SynthEngine::selectInstrument(int channel, const std::function<int()>& select)
{
    // With dynamic sample loading the instrument's samples are read from the
    // SoundFont now. If that file has gone or changed since the open, FluidSynth
    // logs the failure yet keeps the instrument, whose missing samples would
    // crash the audio thread at the next note: the channel is left silent.
    audio::fluidlog::Capture capture;
    const int result = select();
    if (!capture.sawError())
        return result;
    (void)fluid_synth_unset_program(synth_, channel);
    unreadable_ = "the SoundFont cannot be read any more (" + capture.lastMessage() + ")";
    return FLUID_FAILED;
}

bool SynthEngine::prepareChannel(int channel)
{
    const auto bit = static_cast<std::uint16_t>(1u << channel);
    if ((preparedChannels_ & bit) != 0)
        return true;
    // General MIDI's power-on state: program 0, drums on channel 10.
    constexpr int kDrumChannel = 9;
    constexpr int kDrumBank = 128;
    const int bank = channel == kDrumChannel ? kDrumBank : 0;
    if (selectInstrument(channel, [&] { return fluid_synth_program_select(synth_, channel, soundFontId_, bank, 0); })
        != FLUID_OK)
        return false;
    preparedChannels_ |= bit;
    return true;
}

int SynthEngine::activeVoices() const { return fluid_synth_get_active_voice_count(synth_); }

bool SynthEngine::render(float* left, float* right, int step, int frames)
{
    if (fluid_synth_write_float(synth_, frames, left, 0, step, right, 0, step) != FLUID_OK) {
        for (int i = 0; i < frames; ++i)
            left[i * step] = right[i * step] = 0.0f;
        return false;
    }
    // Sounding is audible. Not the voice count: asking it takes the
    // synthesizer's lock, which the thread that plays holds while an
    // instrument change reads its samples from disk. A voice still starting
    // is given its time by the pump (a message restarts its count).
    return std::max(peakOf(left, step, frames), peakOf(right, step, frames)) >= kSilencePeak;
}

}  // namespace synth
