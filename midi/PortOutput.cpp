#include "PortOutput.h"

#include "ShortMessage.h"
#include "synth/NoSoundReport.h"

namespace midi {

namespace {

// The port's faults in WinMM's words.
constexpr Status statusOf(PortFault fault)
{
    switch (fault) {
    case PortFault::none: return status::ok;
    case PortFault::noServer: return status::noDriver;
    case PortFault::noTarget: return status::badDeviceId;
    case PortFault::failed: return status::error;
    }
    return status::error;
}

}  // namespace

PortOutput::PortOutput(std::string server, std::string target, Opener opener)
    : request_{std::move(server), std::move(target)}, opener_(std::move(opener))
{
}

PortOutput::~PortOutput() = default;

Status PortOutput::open(Handle* handle, std::uint32_t deviceId)
{
    *handle = 0;
    if (deviceId != 0)
        return status::badDeviceId;
    // One port is one device, as for the synthesizer.
    if (!open_.empty())
        return status::allocated;
    std::string why;
    PortFault fault = PortFault::failed;
    std::unique_ptr<MidiPort> port = opener_(request_, &why, &fault);
    if (!port) {
        synth::reportNoSound(why);
        return fault == PortFault::none ? status::error : statusOf(fault);
    }
    *handle = next_++;
    open_.emplace(*handle, std::move(port));
    return status::ok;
}

Status PortOutput::sendShort(Handle handle, std::uint32_t message)
{
    const auto it = open_.find(handle);
    if (it == open_.end())
        return status::invalidHandle;
    const Unpacked bytes = unpack(message);
    const std::size_t length = wireLength(bytes.status);
    // No status byte (the voice's stop before any note sends 0), or a data
    // byte with its top bit set: nothing a MIDI wire would carry.
    if (length == 0 || (length > 1 && bytes.data1 > 0x7F) || (length > 2 && bytes.data2 > 0x7F))
        return status::invalidParam;
    const std::uint8_t wire[3] = {bytes.status, bytes.data1, bytes.data2};
    MidiPort& port = *it->second;
    // A full queue is WinMM's busy device.
    const Status sent = port.send(wire, length) ? status::ok : status::notReady;
    // Said here, on the thread that plays: the server's thread only noted it.
    if (const std::optional<std::string> why = port.lossToReport())
        synth::reportNoSound(*why);
    return sent;
}

Status PortOutput::close(Handle handle)
{
    return open_.erase(handle) != 0 ? status::ok : status::invalidHandle;
}

MidiPort* PortOutput::port(Handle handle) const
{
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

}  // namespace midi
