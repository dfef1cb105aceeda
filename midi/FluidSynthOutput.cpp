#include "FluidSynthOutput.h"

#include "NoSoundReport.h"
#include "SoundFontPath.h"

namespace midi {

FluidSynthOutput::FluidSynthOutput(ConfigSource config) : config_(std::move(config)) {}

FluidSynthOutput::~FluidSynthOutput() = default;

SynthConfig FluidSynthOutput::defaultConfig()
{
    SynthConfig config;
    config.soundFont = findSoundFont().value_or(std::string());
    config.audioOutputs = defaultAudioOutputs();
    return config;
}

Status FluidSynthOutput::open(Handle* handle, std::uint32_t deviceId)
{
    *handle = 0;
    if (deviceId != 0)
        return status::badDeviceId;
    // One synthesizer is one device: a second open while it is open is refused,
    // as a hardware port would be.
    if (!open_.empty())
        return status::allocated;

    Loaded loaded = preparing_.valid() ? preparing_.get() : load(config_());
    if (loaded.status != status::ok) {
        reportNoSound(loaded.why);
        return loaded.status;
    }
    *handle = next_++;
    open_.emplace(*handle, std::move(loaded.device));
    return status::ok;
}

void FluidSynthOutput::prepare()
{
    if (!preparing_.valid())
        preparing_ = std::async(std::launch::async, &FluidSynthOutput::load, config_());
}

FluidSynthOutput::Loaded FluidSynthOutput::load(const SynthConfig& config)
{
    Loaded loaded;
    loaded.device.engine = SynthEngine::create(config, &loaded.why, &loaded.status);
    if (!loaded.device.engine || config.audioOutputs.empty())
        return loaded;
    // The audio output comes last, once the synthesizer is complete.
    loaded.device.audio = openAudioOutput(config.audioOutputs, *loaded.device.engine, config.audio, &loaded.why);
    if (!loaded.device.audio)
        loaded.status = status::notEnabled;
    loaded.device.audioOutputs = config.audioOutputs;
    loaded.device.audioOptions = config.audio;
    return loaded;
}

Status FluidSynthOutput::sendShort(Handle handle, std::uint32_t message)
{
    const auto it = open_.find(handle);
    if (it == open_.end())
        return status::invalidHandle;
    Device& device = it->second;
    const Status result = device.engine->play(message);
    if (device.audio) {
        device.audio->wake();
        if (device.audio->lost())
            replaceLostAudio(device);
    }
    return result;
}

// A sound server that went may come back (restarted, or another started in
// its place): while the output is lost, playing tries at most once a second,
// on another thread, to open a new one, and plays through it once it is there.
void FluidSynthOutput::replaceLostAudio(Device& device)
{
    using namespace std::chrono;
    constexpr auto kRetry = seconds(1);
    if (device.replacement.valid()) {
        if (device.replacement.wait_for(seconds(0)) != std::future_status::ready)
            return;
        if (auto fresh = device.replacement.get()) {
            device.audio = std::move(fresh);
            return;
        }
    }
    const auto now = steady_clock::now();
    if (now - device.lastReplacement < kRetry)
        return;
    device.lastReplacement = now;
    device.replacement = std::async(std::launch::async, [&device] {
        std::string why;
        return openAudioOutput(device.audioOutputs, *device.engine, device.audioOptions, &why);
    });
}

Status FluidSynthOutput::close(Handle handle)
{
    return open_.erase(handle) != 0 ? status::ok : status::invalidHandle;
}

SynthEngine* FluidSynthOutput::engine(Handle handle) const
{
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.engine.get();
}

AudioOutput* FluidSynthOutput::audio(Handle handle) const
{
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.audio.get();
}

}  // namespace midi
