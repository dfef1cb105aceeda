#pragma once
// MIDI output device N of the Windows multimedia library.

#include "MidiOut.h"

namespace midi {

class WinMmOutput final : public OutputPort {
public:
    // Nothing to get ready: the system's MIDI output opens quickly.
    void prepare() {}

    Status open(Handle* handle, std::uint32_t deviceId) override;
    Status sendShort(Handle handle, std::uint32_t message) override;
    Status close(Handle handle) override;
};

}  // namespace midi
