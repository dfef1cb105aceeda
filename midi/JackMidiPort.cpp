// The MIDI port as a JACK client "Plinkora" with one MIDI output, through
// libjack: a JACK server, or PipeWire's JACK. JACK calls it on its real-time
// thread once per period; every message queued since is written at the
// period's first frame. jack_ringbuffer, JACK's own lock-free ring, is the
// queue.

#include "MidiPortBackends.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace midi {

namespace {

constexpr const char* kClientName = "Plinkora";
constexpr const char* kPortName = "midi_out";

// libjack writes its complaints to stderr by default; ours are the one line.
void quiet(const char*) {}

void silenceJack()
{
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(quiet);
        jack_set_info_function(quiet);
    });
}

// Never starts a server: a missing one is a reason, not a surprise process.
jack_client_t* openClient(std::string* why)
{
    silenceJack();
    jack_status_t status{};
    jack_client_t* client = jack_client_open(kClientName, JackNoStartServer, &status);
    if (!client)
        *why = (status & JackServerFailed) ? "no JACK server" : "the JACK server refused a client";
    return client;
}

struct Ports {
    explicit Ports(const char** names) : names_(names) {}
    ~Ports() { jack_free(names_); }
    Ports(const Ports&) = delete;
    Ports& operator=(const Ports&) = delete;
    const char** names_;
};

std::vector<std::string> midiInputs(jack_client_t* client)
{
    Ports ports(jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput));
    std::vector<std::string> names;
    for (const char** name = ports.names_; name && *name; ++name)
        names.emplace_back(*name);
    return names;
}

class JackMidiPort final : public MidiPort {
public:
    JackMidiPort() = default;
    ~JackMidiPort() override;

    bool open(const std::string& target, std::string* why, PortFault* fault);

private:
    bool enqueue(const Message& message) override;
    bool link(const std::string& target, std::string* why, PortFault* fault);
    bool waitForConnection(const std::string& input, std::string* why) const;
    static int onProcess(jack_nframes_t frames, void* self);
    static void onShutdown(jack_status_t, const char* reason, void* self);
    void process(jack_nframes_t frames);

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* ring_ = nullptr;
    bool active_ = false;
    std::atomic<bool> gone_{false};
};

JackMidiPort::~JackMidiPort()
{
    // What was sent last (the voice's note-off at unload) goes out first.
    if (active_ && !gone_.load())
        drain([this] { return jack_ringbuffer_read_space(ring_) == 0; });
    if (client_)
        jack_client_close(client_);  // deactivates, and the port goes with the client
    if (ring_)
        jack_ringbuffer_free(ring_);
}

bool JackMidiPort::open(const std::string& target, std::string* why, PortFault* fault)
{
    *fault = PortFault::noServer;
    client_ = openClient(why);
    if (!client_)
        return false;
    *fault = PortFault::failed;
    ring_ = jack_ringbuffer_create(kQueueBytes);
    if (!ring_) {
        *why = "no memory for the MIDI queue";
        return false;
    }
    jack_ringbuffer_mlock(ring_);
    port_ = jack_port_register(client_, kPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!port_) {
        *why = "cannot register a JACK MIDI port";
        return false;
    }
    jack_set_process_callback(client_, &JackMidiPort::onProcess, this);
    jack_on_info_shutdown(client_, &JackMidiPort::onShutdown, this);
    if (jack_activate(client_) != 0) {
        *why = "cannot activate the JACK client";
        return false;
    }
    active_ = true;
    return target.empty() || link(target, why, fault);
}

bool JackMidiPort::link(const std::string& target, std::string* why, PortFault* fault)
{
    const std::string ours = jack_port_name(port_);
    const std::string client = jack_get_client_name(client_);
    for (const std::string& input : midiInputs(client_)) {
        const auto colon = input.find(':');
        const std::string owner = input.substr(0, colon);
        const std::string name = colon == std::string::npos ? std::string() : input.substr(colon + 1);
        if (owner == client || !targetMatches(target, owner, name))
            continue;
        if (const int result = jack_connect(client_, ours.c_str(), input.c_str()); result != 0 && result != EEXIST) {
            *why = "cannot connect to " + input;
            return false;
        }
        return waitForConnection(input, why);
    }
    *fault = PortFault::noTarget;
    *why = "no MIDI input matches \"" + target + "\"";
    return false;
}

// jack_connect returns once the server has the connection, but the cycles go
// on with the graph they had until one begins with the new one (later still
// when a client was late): what is queued before then goes out to nobody,
// the program change of the open first. jack_port_connected_to answers from
// the graph the cycles use.
bool JackMidiPort::waitForConnection(const std::string& input, std::string* why) const
{
    // As long as a busy server may go on with the old graph.
    constexpr std::chrono::seconds kSwitchTime{2};
    const auto connected = [&] { return jack_port_connected_to(port_, input.c_str()) > 0; };
    waitForGraph(connected, kSwitchTime);
    if (connected())
        return true;
    *why = "the connection to " + input + " did not start";
    return false;
}

bool JackMidiPort::enqueue(const Message& message)
{
    if (jack_ringbuffer_write_space(ring_) < sizeof message)
        return false;
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&message), sizeof message);
    return true;
}

int JackMidiPort::onProcess(jack_nframes_t frames, void* self)
{
    static_cast<JackMidiPort*>(self)->process(frames);
    return 0;
}

void JackMidiPort::process(jack_nframes_t frames)
{
    countCycle();
    void* buffer = jack_port_get_buffer(port_, frames);
    jack_midi_clear_buffer(buffer);
    Message message{};
    while (jack_ringbuffer_peek(ring_, reinterpret_cast<char*>(&message), sizeof message) == sizeof message) {
        // A full buffer keeps the rest for the next period.
        if (jack_midi_event_write(buffer, 0, message.bytes, message.size) != 0)
            break;
        jack_ringbuffer_read_advance(ring_, sizeof message);
    }
}

// JACK asks this to be async-signal-safe: it only notes the loss.
void JackMidiPort::onShutdown(jack_status_t, const char* reason, void* self)
{
    auto* port = static_cast<JackMidiPort*>(self);
    port->gone_ = true;
    port->lose("the JACK server went away", reason);
}

}  // namespace

std::unique_ptr<MidiPort> openJackMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault)
{
    return openPort<JackMidiPort>(request, why, fault);
}

std::vector<std::string> listJackMidiInputs()
{
    std::string why;
    jack_client_t* client = openClient(&why);
    if (!client)
        return {};
    std::vector<std::string> inputs = midiInputs(client);
    jack_client_close(client);
    return inputs;
}

}  // namespace midi
