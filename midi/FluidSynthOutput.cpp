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

    std::string why;
    Status result = status::error;
    auto engine = SynthEngine::create(config_(), &why, &result);
    if (!engine) {
        reportNoSound(why);
        return result;
    }
    *handle = next_++;
    open_.emplace(*handle, std::move(engine));
    return status::ok;
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
