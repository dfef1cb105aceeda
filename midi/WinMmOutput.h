#pragma once
// MIDI output device N of the Windows multimedia library.

#include "MidiOut.h"

#include <string>
#include <vector>

namespace midi {

class WinMmOutput final : public OutputPort {
public:
    // Nothing to get ready: the system's MIDI output opens quickly.
    void prepare() {}

    // The system's device that answers when the voice opens device 0 (the
    // command line's choice; by default device 0 itself).
    void setDevice0(std::uint32_t deviceId) { device0_ = deviceId; }

    Status open(Handle* handle, std::uint32_t deviceId) override;
    Status sendShort(Handle handle, std::uint32_t message) override;
    Status close(Handle handle) override;

    // The names of the system's MIDI output devices, by device id (UTF-8).
    static std::vector<std::string> deviceNames();

private:
    std::uint32_t device0_ = 0;
};

}  // namespace midi
