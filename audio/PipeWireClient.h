#pragma once
// A connection to the PipeWire daemon on a thread loop of its own, as the
// audio output and the MIDI port make it, and the look at its graph that the
// MIDI port needs: which MIDI inputs there are.

#include <pipewire/pipewire.h>

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// Setting up a PipeWire context costs about 10 ms: not worth it where no
// daemon has its socket.
bool pipeWireDaemonSocketExists();
void initialisePipeWire();

class PipeWireClient {
public:
    PipeWireClient() = default;
    ~PipeWireClient();
    PipeWireClient(const PipeWireClient&) = delete;
    PipeWireClient& operator=(const PipeWireClient&) = delete;

    // Starts the loop (its thread named `thread`) and connects; false with
    // the reason.
    bool connect(const char* thread, std::string* why);
    // Under the loop lock: waits until the daemon has handled every request
    // made so far. False with the reason on an error or after a while.
    bool roundtrip(std::string* why);
    // Under the loop lock: waits for a signal from the loop's thread; false
    // after a while.
    bool wait();

    pw_thread_loop* loop() const { return loop_; }
    pw_core* core() const { return core_; }

    struct Port {
        std::uint32_t id;
        std::uint32_t node;
        std::string nodeName;
        std::string name;
        bool midiInput;
    };
    // Under the loop lock: every port in the graph, in the order they came.
    bool ports(std::vector<Port>* ports, std::string* why);

private:
    static void onDone(void* self, std::uint32_t id, int seq);
    static void onError(void* self, std::uint32_t id, int seq, int res, const char* message);

    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    spa_hook coreListener_{};
    pw_core_events coreEvents_{};
    int pending_ = 0;
    bool done_ = false;
    std::string error_;
};

}  // namespace audio
