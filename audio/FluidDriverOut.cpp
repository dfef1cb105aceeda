// Audio output through one of FluidSynth's own drivers: ALSA where no sound
// server runs, CoreAudio on macOS. The driver pulls whole periods from a
// real-time thread of its own; while the piano rests, that thread waits here
// until the next message instead of rendering silence.

#include "AudioBackends.h"
#include "AudioPump.h"
#include "FluidLog.h"

#include <fluidsynth.h>

#include <condition_variable>
#include <mutex>

namespace audio {

namespace {

class FluidDriverOut final : public PumpedOutput {
public:
    FluidDriverOut(AudioSource& source, const AudioOptions& options) : PumpedOutput(source, options) {}
    ~FluidDriverOut() override;

    bool open(const std::string& name, std::string* why);
    void wake() override;

private:
    static int render(void* self, int frames, int nfx, float* fx[], int nout, float* out[]);
    void waitWhileResting();

    fluid_settings_t* settings_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    bool rest_ = false;  // driver thread only
    std::mutex mutex_;
    std::condition_variable woken_;
    bool wakeUp_ = false;
    bool stopping_ = false;
};

FluidDriverOut::~FluidDriverOut()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    woken_.notify_one();
    if (driver_)
        delete_fluid_audio_driver(driver_);
    if (settings_)
        delete_fluid_settings(settings_);
}

bool FluidDriverOut::open(const std::string& name, std::string* why)
{
    fluidlog::Capture capture;
    settings_ = new_fluid_settings();
    const AudioOptions& o = pump_.options();
    if (!settings_ || fluid_settings_setstr(settings_, "audio.driver", name.c_str()) != FLUID_OK) {
        *why = "not built in";
        return false;
    }
    if (fluid_settings_setnum(settings_, "synth.sample-rate", o.sampleRate) != FLUID_OK
        || fluid_settings_setint(settings_, "audio.period-size", o.bufferFrames) != FLUID_OK
        || fluid_settings_setint(settings_, "audio.periods", 2) != FLUID_OK) {
        *why = "rejected its settings";
        return false;
    }
    driver_ = new_fluid_audio_driver2(settings_, &FluidDriverOut::render, this);
    if (!driver_) {
        *why = capture.lastMessage().empty() ? "failed" : capture.lastMessage();
        return false;
    }
    reportBuffer(o.bufferFrames);
    return true;
}

int FluidDriverOut::render(void* data, int frames, int, float*[], int nout, float* out[])
{
    auto* self = static_cast<FluidDriverOut*>(data);
    if (nout < 2 || out == nullptr)
        return FLUID_FAILED;
    self->waitWhileResting();
    self->rest_ = self->pump_.pump(out[0], out[1], 1, frames);
    return FLUID_OK;
}

void FluidDriverOut::waitWhileResting()
{
    if (!rest_)
        return;
    std::unique_lock lock(mutex_);
    woken_.wait(lock, [this] { return wakeUp_ || stopping_; });
    wakeUp_ = false;
    rest_ = false;
}

void FluidDriverOut::wake()
{
    if (!pump_.wake())
        return;
    {
        std::lock_guard lock(mutex_);
        wakeUp_ = true;
    }
    woken_.notify_one();
}

}  // namespace

std::unique_ptr<AudioOutput> openFluidDriver(const std::string& name, AudioSource& source, const AudioOptions& options,
                                             std::string* why)
{
    auto output = std::make_unique<FluidDriverOut>(source, options);
    if (!output->open(name, why))
        return nullptr;
    return output;
}

}  // namespace audio
