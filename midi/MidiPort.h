#pragma once
// A MIDI output port of ours in a sound server's graph, which other programs
// (a synthesizer, a DAW, a patchbay) connect to. The window's thread hands
// each message to a lock-free queue; the graph's thread sends whatever is
// queued in its next cycle, in order. One file per server, one factory
// (MidiPortFactory.cpp), as for the audio outputs.

#include "audio/ServerLoss.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace midi {

class MidiPort {
public:
    // Closing removes the port, and with it its link.
    virtual ~MidiPort() = default;

    // Queues one message of 1 to 3 bytes for the graph's next cycle. One
    // thread sends; never blocks. False, and counted, when the queue is full.
    bool send(const std::uint8_t* bytes, std::size_t size);
    // The messages that did not fit in the queue.
    std::uint64_t overflows() const { return overflows_.load(std::memory_order_relaxed); }
    // True once the server has gone: nothing sent reaches anyone any more.
    bool lost() const { return loss_.happened(); }
    // The thread that sends, once after lost() has turned true: why, for its
    // report. The server's thread only noted it.
    std::optional<std::string> lossToReport() { return loss_.take(); }

protected:
    MidiPort() = default;
    MidiPort(const MidiPort&) = delete;
    MidiPort& operator=(const MidiPort&) = delete;

    // One message as the queue holds it: every slot the same size, so the
    // graph's thread takes whole messages.
    struct Message {
        std::uint8_t size;
        std::uint8_t bytes[3];
    };
    static_assert(sizeof(Message) == 4);
    // Room for a key flood: at the largest graph cycle (8192 frames, 170 ms)
    // a repeating key, or a program pouring keys in, stays far below this.
    static constexpr std::uint32_t kQueueMessages = 4096;
    static constexpr std::uint32_t kQueueBytes = kQueueMessages * sizeof(Message);

    // The backend's side of the queue: false when it is full.
    virtual bool enqueue(const Message& message) = 0;
    // Waits until `done` says so, a few graph cycles at most: a graph that
    // stalls longer would hold the program's start or exit.
    static constexpr std::chrono::milliseconds kGraphCycles{200};
    static void waitForGraph(const std::function<bool()>& done, std::chrono::milliseconds limit = kGraphCycles);
    // The graph's thread counts its cycles.
    void countCycle() { cycles_.fetch_add(1, std::memory_order_relaxed); }
    // Waits until `count` more cycles have begun, or `limit` has passed.
    void waitCycles(std::uint64_t count, std::chrono::milliseconds limit = kGraphCycles) const;
    // Before closing: until the graph's thread has taken everything queued
    // (`empty`), and the listener the cycle that carries the last of it.
    void drain(const std::function<bool()>& empty) const;
    // The server's thread: the server has gone (see audio/ServerLoss.h).
    void lose(const char* what, const char* detail = nullptr) noexcept { loss_.note(what, detail); }

private:
    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> cycles_{0};
    audio::ServerLoss loss_;
};

enum class PortFault { none, noServer, noTarget, failed };

struct MidiPortRequest {
    std::string server;  // "pipewire" or "jack"
    // When not empty: the port is linked to the first MIDI input whose node
    // (client) or port name, or "node:port", contains it.
    std::string target;
};

// The servers this build can open a port on, best first.
std::vector<std::string> midiPortServers();

// The port, or nullptr with a one-line reason and the fault.
std::unique_ptr<MidiPort> openMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault);

// The MIDI inputs found on every server that runs, as "SERVER:NODE:PORT".
std::vector<std::string> listMidiInputs();

}  // namespace midi
