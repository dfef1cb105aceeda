#pragma once
// A MIDI output that plays nothing and remembers every call: the dummy that is
// always compiled in, used by the tests and benchmarks to see the exact bytes.

#include "MidiOut.h"

#include <cstddef>
#include <functional>
#include <set>
#include <vector>

namespace midi {

class RecordingOutput final : public OutputPort {
public:
    enum class Op { Open, Send, Close };
    struct Call {
        Op op;
        Handle handle;         // for Open: the handle written out
        std::uint32_t value;   // Open: device id; Send: the message; Close: 0
        Status status;
        bool operator==(const Call&) const = default;
    };

    Status open(Handle* handle, std::uint32_t deviceId) override;
    Status sendShort(Handle handle, std::uint32_t message) override;
    Status close(Handle handle) override;

    // What the next opens answer; on failure the handle field receives failedHandle.
    Status openStatus = status::ok;
    Handle failedHandle = 0;
    // The handle the next successful open hands out (then counts up).
    Handle nextHandle = 0x5000;
    // Called after every successful send, for latency measurements.
    std::function<void(std::uint32_t message)> onSend;

    std::vector<Call> calls;
    std::vector<std::uint32_t> sent() const;   // every message handed to send
    std::size_t count(Op op) const;
    bool isOpen(Handle handle) const { return open_.count(handle) != 0; }
    void clear() { calls.clear(); }

private:
    std::set<Handle> open_;
};

}  // namespace midi
