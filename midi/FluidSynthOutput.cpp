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
    config.audioDrivers = defaultAudioDrivers();
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
    if (!loaded.engine) {
        reportNoSound(loaded.why);
        return loaded.status;
    }
    // The audio driver comes last, on this thread, once the synth is complete.
    if (!loaded.audioDrivers.empty() && !loaded.engine->startAudio(loaded.audioDrivers, &loaded.why)) {
        reportNoSound(loaded.why);
        return status::notEnabled;
    }
    *handle = next_++;
    open_.emplace(*handle, std::move(loaded.engine));
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
    loaded.engine = SynthEngine::load(config, &loaded.why, &loaded.status);
    loaded.audioDrivers = config.audioDrivers;
    return loaded;
}

Status FluidSynthOutput::sendShort(Handle handle, std::uint32_t message)
{
    SynthEngine* target = engine(handle);
    return target ? target->play(message) : status::invalidHandle;
}

Status FluidSynthOutput::close(Handle handle)
{
    return open_.erase(handle) != 0 ? status::ok : status::invalidHandle;
}

SynthEngine* FluidSynthOutput::engine(Handle handle) const
{
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

}  // namespace midi
