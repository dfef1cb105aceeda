#pragma once
// MIDI output device 0 as a MIDI port of ours in a sound server's graph,
// which other programs listen to (MidiPort.h, one file per server); this
// backend only turns the voice's three operations into calls on the port.

#include "MidiOut.h"
#include "MidiPort.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace midi {

class PortOutput final : public OutputPort {
public:
    using Opener = std::function<std::unique_ptr<MidiPort>(const MidiPortRequest&, std::string* why, PortFault* fault)>;
    // server: one of midiPortServers(); target: what to link to, or empty.
    PortOutput(std::string server, std::string target, Opener opener = openMidiPort);
    ~PortOutput() override;

    Status open(Handle* handle, std::uint32_t deviceId) override;
    Status sendShort(Handle handle, std::uint32_t message) override;
    Status close(Handle handle) override;

    // The port behind an open handle (tests, benchmarks), or nullptr.
    MidiPort* port(Handle handle) const;

private:
    MidiPortRequest request_;
    Opener opener_;
    std::map<Handle, std::unique_ptr<MidiPort>> open_;
    // Handles count up and are never reused, so a closed handle stays invalid.
    Handle next_ = 0x90470001;
};

}  // namespace midi
