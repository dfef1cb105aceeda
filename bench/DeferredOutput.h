#pragma once
// Prototype (bench only): opening the synthesizer after the window is on the
// screen instead of before it. open() answers at once with a provisional
// handle; messages sent meanwhile are kept and replayed, in order, once
// openNow() has opened the real device, so no note is lost, only delayed.
// The real open's status is not returned to the caller (the window never
// looks at it).

#include "midi/MidiOut.h"

#include <cstdint>
#include <vector>

namespace bench {

class DeferredOutput final : public midi::OutputPort {
public:
    explicit DeferredOutput(midi::OutputPort& inner) : inner_(inner) {}

    midi::Status open(midi::Handle* handle, std::uint32_t deviceId) override;
    midi::Status sendShort(midi::Handle handle, std::uint32_t message) override;
    midi::Status close(midi::Handle handle) override;

    // Opens the real device and plays what was sent so far.
    void openNow();

private:
    static constexpr midi::Handle kProvisional = 0xDEFE;
    midi::OutputPort& inner_;
    bool requested_ = false;
    bool opened_ = false;
    std::uint32_t deviceId_ = 0;
    midi::Handle real_ = 0;
    std::vector<std::uint32_t> pending_;
};

}  // namespace bench
