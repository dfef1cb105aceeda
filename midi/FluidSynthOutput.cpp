#include "FluidSynthOutput.h"

#include "synth/HeapWarmup.h"
#include "synth/NoSoundReport.h"

namespace midi {

namespace {

// What the window fills while the synthesizer loads: the toolkit, the key
// images, the icon and the font.
constexpr std::size_t kWindowHeap = 6 << 20;

// The synthesizer's results in WinMM's words.
constexpr Status statusOf(synth::Fault fault)
{
    switch (fault) {
    case synth::Fault::none: return status::ok;
    case synth::Fault::noMemory: return status::noMemory;
    case synth::Fault::badSettings: return status::error;
    case synth::Fault::noSoundFont: return status::noDriver;
    case synth::Fault::noAudio: return status::notEnabled;
    }
    return status::error;
}

constexpr Status statusOf(synth::Played played)
{
    switch (played) {
    case synth::Played::ok: return status::ok;
    case synth::Played::failed: return status::error;
    case synth::Played::invalid: return status::invalidParam;
    }
    return status::error;
}

}  // namespace

FluidSynthOutput::FluidSynthOutput(ConfigSource config) : config_(std::move(config)) {}

FluidSynthOutput::~FluidSynthOutput() = default;

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
    if (!loaded.player) {
        synth::reportNoSound(loaded.why);
        return statusOf(loaded.fault);
    }
    *handle = next_++;
    open_.emplace(*handle, std::move(loaded.player));
    return status::ok;
}

void FluidSynthOutput::prepare()
{
    if (!preparing_.valid())
        preparing_ = std::async(std::launch::async, &FluidSynthOutput::load, config_());
    // The caller goes on to build the window.
    synth::warmHeap(kWindowHeap);
}

FluidSynthOutput::Loaded FluidSynthOutput::load(const synth::SynthConfig& config)
{
    Loaded loaded;
    loaded.player = synth::Player::open(config, &loaded.why, &loaded.fault);
    return loaded;
}

Status FluidSynthOutput::sendShort(Handle handle, std::uint32_t message)
{
    const auto it = open_.find(handle);
    if (it == open_.end())
        return status::invalidHandle;
    return statusOf(it->second->play(message));
}

Status FluidSynthOutput::close(Handle handle)
{
    return open_.erase(handle) != 0 ? status::ok : status::invalidHandle;
}

synth::Player* FluidSynthOutput::player(Handle handle) const
{
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

}  // namespace midi
