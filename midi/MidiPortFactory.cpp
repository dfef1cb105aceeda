// The one place that knows which servers can carry a MIDI port of ours.

#include "MidiPortBackends.h"

#include <chrono>
#include <thread>

namespace midi {

bool MidiPort::send(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 1 || size > sizeof(Message::bytes))
        return false;
    Message message{static_cast<std::uint8_t>(size), {}};
    for (std::size_t i = 0; i < size; ++i)
        message.bytes[i] = bytes[i];
    if (enqueue(message))
        return true;
    overflows_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void MidiPort::waitForGraph(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    constexpr auto kPoll = std::chrono::milliseconds(1);
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(kPoll);
}

void MidiPort::waitCycles(std::uint64_t count, std::chrono::milliseconds limit) const
{
    const std::uint64_t from = cycles_.load(std::memory_order_relaxed);
    waitForGraph([&] { return cycles_.load(std::memory_order_relaxed) >= from + count; }, limit);
}

void MidiPort::drain(const std::function<bool()>& empty) const
{
    waitForGraph(empty);
    // The listener reads a cycle's messages after us, in that cycle: once
    // the next has begun, it has them, and the port may go.
    waitCycles(2);
}

bool targetMatches(const std::string& target, const std::string& node, const std::string& port)
{
    return node.find(target) != std::string::npos || port.find(target) != std::string::npos
        || (node + ":" + port).find(target) != std::string::npos;
}

std::vector<std::string> midiPortServers()
{
    std::vector<std::string> servers;
#if defined(PLINKORA_HAVE_PIPEWIRE)
    servers.push_back("pipewire");
#endif
#if defined(PLINKORA_HAVE_JACK)
    servers.push_back("jack");
#endif
    return servers;
}

std::unique_ptr<MidiPort> openMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault)
{
    *fault = PortFault::noServer;
#if defined(PLINKORA_HAVE_PIPEWIRE)
    if (request.server == "pipewire")
        return openPipeWireMidiPort(request, why, fault);
#endif
#if defined(PLINKORA_HAVE_JACK)
    if (request.server == "jack")
        return openJackMidiPort(request, why, fault);
#endif
    *why = "no MIDI port on " + request.server + " in this build";
    return nullptr;
}

std::vector<std::string> listMidiInputs()
{
    std::vector<std::string> inputs;
#if defined(PLINKORA_HAVE_PIPEWIRE)
    for (std::string& input : listPipeWireMidiInputs())
        inputs.push_back("pipewire:" + std::move(input));
#endif
#if defined(PLINKORA_HAVE_JACK)
    for (std::string& input : listJackMidiInputs())
        inputs.push_back("jack:" + std::move(input));
#endif
    return inputs;
}

}  // namespace midi
