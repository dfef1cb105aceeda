#pragma once
// The MIDI port backends of this build, one file each; MidiPortFactory.cpp is
// the only caller.

#include "MidiPort.h"

namespace audio {

std::unique_ptr<MidiPort> openPipeWireMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault);
std::vector<std::string> listPipeWireMidiInputs();

std::unique_ptr<MidiPort> openJackMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault);
std::vector<std::string> listJackMidiInputs();

// Whether `target` picks the input `port` of node (or client) `node`.
bool targetMatches(const std::string& target, const std::string& node, const std::string& port);

}  // namespace audio
