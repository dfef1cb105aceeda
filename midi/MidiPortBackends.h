#pragma once
// The MIDI port backends of this build, one file each; MidiPortFactory.cpp is
// the only caller.

#include "MidiPort.h"

namespace midi {

std::unique_ptr<MidiPort> openPipeWireMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault);
std::vector<std::string> listPipeWireMidiInputs();

std::unique_ptr<MidiPort> openJackMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault);
std::vector<std::string> listJackMidiInputs();

// Whether `target` picks the input `port` of node (or client) `node`.
bool targetMatches(const std::string& target, const std::string& node, const std::string& port);

// A backend's port, opened: nullptr with the reason and the fault if it
// could not be.
template <class Port>
std::unique_ptr<MidiPort> openPort(const MidiPortRequest& request, std::string* why, PortFault* fault)
{
    auto port = std::make_unique<Port>();
    if (!port->open(request.target, why, fault))
        return nullptr;
    *fault = PortFault::none;
    return port;
}

}  // namespace midi
