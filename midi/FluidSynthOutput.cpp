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
    return loaded;
}

Status FluidSynthOutput::sendShort(Handle handle, std::uint32_t message)
{
    const auto it = open_.find(handle);
    if (it == open_.end())
        return status::invalidHandle;
    const Status result = it->second.engine->play(message);
    if (it->second.audio)
        it->second.audio->wake();
    return result;
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
