// The MIDI port as a PipeWire filter node "Plinkora" with one MIDI output.
// The graph calls it on its real-time data thread once per cycle; every
// message queued since is written into that cycle's buffer at its start.
// spa_ringbuffer, PipeWire's own lock-free ring, is the queue.

#include "MidiPortBackends.h"
#include "audio/PipeWireClient.h"
#include "audio/AudioPump.h"

#include <pipewire/filter.h>
#include <spa/control/control.h>
#include <spa/pod/builder.h>
#include <spa/utils/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace midi {

namespace {

using audio::PipeWireClient;
using Lock = audio::LoopLock<pw_thread_loop, pw_thread_loop_lock, pw_thread_loop_unlock>;

constexpr const char* kMidiFormat = "8 bit raw midi";
// One message in the buffer: the control's header, the bytes' header and
// the bytes padded to 8.
constexpr std::uint32_t kEventBytes = 24;
// The most one cycle carries. A listener's input port takes our buffer
// through PipeWire's MIDI mixer, whose own buffers hold 4096 bytes unless the
// listener asks for more; a cycle that overflows them reaches the listener
// cut short, or not at all. 170 messages a cycle is still far beyond a MIDI
// cable; the rest waits for the next cycle.
constexpr std::uint32_t kCycleBytes = 4096;
// Two buffers, used in turn: the listener's mixer marks our buffer free before
// it has copied it, and a late listener still copies while our next cycle
// runs. With one buffer that cycle wrote over the messages being copied.
constexpr int kBuffers = 2;
// How long the listener gets to set up its end of a new link.
constexpr std::uint64_t kSettleCycles = 3;
constexpr auto kSettleTime = std::chrono::milliseconds(50);
// A graph that has just changed (a new link, a node come or gone) may skip a
// few cycles, and then run a cycle without the listener: PipeWire 0.3.65 did
// in one open of five here. Messages wait until the graph has run this many
// cycles in a row.
constexpr int kSteadyCycles = 2;

class PipeWireMidiPort final : public MidiPort {
public:
    PipeWireMidiPort() { spa_ringbuffer_init(&ring_); }
    ~PipeWireMidiPort() override;

    bool open(const std::string& target, std::string* why, PortFault* fault);

private:
    bool enqueue(const Message& message) override;
    bool createFilter(std::string* why);
    bool waitForFilter(std::string* why);
    bool link(const std::string& target, std::string* why, PortFault* fault);
    static void onStateChanged(void* self, pw_filter_state old, pw_filter_state state, const char* error);
    static void onProcess(void* self, spa_io_position* position);
    static void onLinkInfo(void* self, const pw_link_info* info);
    static void onIoChanged(void* self, void* port, std::uint32_t id, void* area, std::uint32_t size);
    static void onListenerInfo(void* self, const pw_node_info* info);
    bool waitForLink(const std::string& name, std::string* why);
    void waitForListenerNode(std::uint32_t node);
    void waitForListener();
    void process(const spa_io_position* position);
    bool steady(const spa_io_position* position);

    PipeWireClient client_;
    pw_filter* filter_ = nullptr;
    void* port_ = nullptr;
    spa_hook listener_{};
    pw_filter_events events_{};
    pw_proxy* link_ = nullptr;
    spa_hook linkListener_{};
    pw_link_events linkEvents_{};
    pw_link_state linkState_ = PW_LINK_STATE_INIT;  // under the loop lock
    std::string linkError_;
    pw_node_state listenerState_ = PW_NODE_STATE_CREATING;  // under the loop lock
    bool opened_ = false;  // under the loop lock
    // The port is linked: a cycle without a buffer to write into then keeps
    // the messages for the next, where unlinked it lets them go.
    std::atomic<bool> linked_{false};
    std::uint64_t nextPosition_ = 0;  // graph thread only
    int steadyCycles_ = 0;            // graph thread only
    spa_ringbuffer ring_{};
    std::uint8_t queue_[kQueueBytes]{};
};

PipeWireMidiPort::~PipeWireMidiPort()
{
    if (!client_.loop())
        return;
    bool running = false;
    {
        Lock lock(client_.loop());
        running = opened_;
    }
    // What was sent last (the voice's note-off at unload) goes out first.
    if (running)
        drain([this] {
            std::uint32_t index = 0;
            return spa_ringbuffer_get_read_index(&ring_, &index) <= 0;
        });
    Lock lock(client_.loop());
    // Closing is not losing the daemon.
    if (link_) {
        spa_hook_remove(&linkListener_);
        pw_proxy_destroy(link_);
    }
    if (filter_) {
        spa_hook_remove(&listener_);
        pw_filter_destroy(filter_);
    }
}

bool PipeWireMidiPort::open(const std::string& target, std::string* why, PortFault* fault)
{
    *fault = PortFault::noServer;
    if (!client_.connect("plinkora-midi", why))
        return false;
    *fault = PortFault::failed;
    {
        Lock lock(client_.loop());
        if (!createFilter(why) || !waitForFilter(why))
            return false;
        if (target.empty())
            return true;
        if (!link(target, why, fault))
            return false;
    }
    waitForListener();
    return true;
}

// The daemon calls a link active once it has told both ends. Each client sets
// its end up on its own thread after that, and the graph takes some cycles
// more to settle: what reaches the link before then is lost to the listener,
// the program change of the open first.
void PipeWireMidiPort::waitForListener()
{
    const auto until = std::chrono::steady_clock::now() + kSettleTime;
    waitCycles(kSettleCycles);
    std::this_thread::sleep_until(until);
}

bool PipeWireMidiPort::createFilter(std::string* why)
{
    // Always processed, linked or not, as a JACK client is: what is sent
    // while nothing listens is gone, instead of waiting in the queue for a
    // listener to come and then pouring out stale.
    // No node.latency: the program that listens and sounds sets the graph's
    // cycle (a DAW or a soft synth asks for its own). Asking for short cycles
    // here would force them on a listener that chose longer ones to keep up,
    // and a listener late for a cycle loses that cycle's messages.
    filter_ = pw_filter_new(client_.core(), "Plinkora",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Midi", PW_KEY_MEDIA_CATEGORY, "Playback",
                                              PW_KEY_MEDIA_ROLE, "DSP", PW_KEY_NODE_NAME, "Plinkora",
                                              PW_KEY_NODE_DESCRIPTION, "Plinkora", PW_KEY_NODE_ALWAYS_PROCESS,
                                              "true", nullptr));
    if (!filter_) {
        *why = std::string("cannot create a PipeWire node: ") + std::strerror(errno);
        return false;
    }
    events_.version = PW_VERSION_FILTER_EVENTS;
    events_.state_changed = &PipeWireMidiPort::onStateChanged;
    events_.process = &PipeWireMidiPort::onProcess;
    events_.io_changed = &PipeWireMidiPort::onIoChanged;
    pw_filter_add_listener(filter_, &listener_, &events_, this);

    std::uint8_t buffer[256];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, buffer, sizeof buffer);
    const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
        SPA_POD_CHOICE_RANGE_Int(kBuffers, kBuffers, 32), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
        SPA_PARAM_BUFFERS_size, SPA_POD_CHOICE_RANGE_Int(kCycleBytes, kCycleBytes, INT32_MAX),
        SPA_PARAM_BUFFERS_stride, SPA_POD_Int(1)))};
    port_ = pw_filter_add_port(filter_, PW_DIRECTION_OUTPUT, PW_FILTER_PORT_FLAG_MAP_BUFFERS, 0,
                               pw_properties_new(PW_KEY_FORMAT_DSP, kMidiFormat, PW_KEY_PORT_NAME, "midi_out", nullptr),
                               params, 1);
    if (!port_) {
        *why = std::string("cannot create a PipeWire port: ") + std::strerror(errno);
        return false;
    }
    if (const int result = pw_filter_connect(filter_, PW_FILTER_FLAG_RT_PROCESS, nullptr, 0); result < 0) {
        *why = std::string("cannot connect a PipeWire node: ") + std::strerror(-result);
        return false;
    }
    return true;
}

bool PipeWireMidiPort::waitForFilter(std::string* why)
{
    for (;;) {
        const char* error = nullptr;
        switch (pw_filter_get_state(filter_, &error)) {
        case PW_FILTER_STATE_PAUSED:
        case PW_FILTER_STATE_STREAMING:
            opened_ = true;
            return true;
        case PW_FILTER_STATE_ERROR:
        case PW_FILTER_STATE_UNCONNECTED:
            *why = std::string("the PipeWire node failed: ") + (error ? error : "unconnected");
            return false;
        case PW_FILTER_STATE_CONNECTING:
            break;
        }
        if (!client_.wait()) {
            *why = "the PipeWire node did not start";
            return false;
        }
    }
}

bool PipeWireMidiPort::link(const std::string& target, std::string* why, PortFault* fault)
{
    const std::uint32_t node = pw_filter_get_node_id(filter_);
    std::vector<PipeWireClient::Port> ports;
    if (!client_.ports(&ports, why))
        return false;
    const PipeWireClient::Port* ours = nullptr;
    const PipeWireClient::Port* input = nullptr;
    for (const PipeWireClient::Port& port : ports) {
        if (port.node == node)
            ours = &port;
        else if (!input && port.midiInput && targetMatches(target, port.nodeName, port.name))
            input = &port;
    }
    if (!input) {
        *fault = PortFault::noTarget;
        *why = "no MIDI input matches \"" + target + "\"";
        return false;
    }
    if (!ours) {
        *why = "the PipeWire port did not appear";
        return false;
    }
    const std::string ids[4] = {std::to_string(ours->node), std::to_string(ours->id), std::to_string(input->node),
                                std::to_string(input->id)};
    pw_properties* props = pw_properties_new(PW_KEY_LINK_OUTPUT_NODE, ids[0].c_str(), PW_KEY_LINK_OUTPUT_PORT,
                                             ids[1].c_str(), PW_KEY_LINK_INPUT_NODE, ids[2].c_str(),
                                             PW_KEY_LINK_INPUT_PORT, ids[3].c_str(), PW_KEY_OBJECT_LINGER, "false",
                                             nullptr);
    link_ = static_cast<pw_proxy*>(
        pw_core_create_object(client_.core(), "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &props->dict, 0));
    pw_properties_free(props);
    if (!link_) {
        *why = std::string("cannot link to ") + input->nodeName + ":" + input->name;
        return false;
    }
    linkEvents_.version = PW_VERSION_LINK_EVENTS;
    linkEvents_.info = &PipeWireMidiPort::onLinkInfo;
    pw_link_add_listener(reinterpret_cast<pw_link*>(link_), &linkListener_, &linkEvents_, this);
    if (!waitForLink(input->nodeName + ":" + input->name, why))
        return false;
    waitForListenerNode(input->node);
    return true;
}

// Until the link has its buffers and runs, the graph would drop what the
// voice sends first: the program change of the open.
bool PipeWireMidiPort::waitForLink(const std::string& name, std::string* why)
{
    while (linkState_ != PW_LINK_STATE_ACTIVE) {
        if (linkState_ == PW_LINK_STATE_ERROR || linkState_ == PW_LINK_STATE_UNLINKED) {
            *why = "cannot link to " + name + (linkError_.empty() ? "" : " (" + linkError_ + ")");
            return false;
        }
        if (!client_.wait()) {
            *why = "the link to " + name + " did not start";
            return false;
        }
    }
    return true;
}

// The daemon starts a listener that was idle once the link is active: it
// tells the listener's client to set up its end, then to start, and calls
// the node running when the client has done both. Until then the listener's
// graph thread reads nothing of ours. A listener that already ran sets up a
// new link at once; one that never starts hears nothing in any case.
void PipeWireMidiPort::waitForListenerNode(std::uint32_t node)
{
    pw_registry* registry = pw_core_get_registry(client_.core(), PW_VERSION_REGISTRY, 0);
    if (!registry)
        return;
    if (auto* proxy = static_cast<pw_proxy*>(pw_registry_bind(registry, node, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0))) {
        pw_node_events events{};
        events.version = PW_VERSION_NODE_EVENTS;
        events.info = &PipeWireMidiPort::onListenerInfo;
        spa_hook listener{};
        pw_node_add_listener(reinterpret_cast<pw_node*>(proxy), &listener, &events, this);
        while (listenerState_ != PW_NODE_STATE_RUNNING && listenerState_ != PW_NODE_STATE_ERROR)
            if (!client_.wait())
                break;
        spa_hook_remove(&listener);
        pw_proxy_destroy(proxy);
    }
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
}

void PipeWireMidiPort::onListenerInfo(void* self, const pw_node_info* info)
{
    auto* port = static_cast<PipeWireMidiPort*>(self);
    if (info->change_mask & PW_NODE_CHANGE_MASK_STATE)
        port->listenerState_ = info->state;
    pw_thread_loop_signal(port->client_.loop(), false);
}

void PipeWireMidiPort::onLinkInfo(void* self, const pw_link_info* info)
{
    auto* port = static_cast<PipeWireMidiPort*>(self);
    port->linkState_ = info->state;
    port->linkError_ = info->error ? info->error : "";
    pw_thread_loop_signal(port->client_.loop(), false);
}

void PipeWireMidiPort::onIoChanged(void* self, void*, std::uint32_t id, void* area, std::uint32_t)
{
    if (id == SPA_IO_Buffers)
        static_cast<PipeWireMidiPort*>(self)->linked_.store(area != nullptr);
}

void PipeWireMidiPort::onStateChanged(void* self, pw_filter_state, pw_filter_state state, const char* error)
{
    auto* port = static_cast<PipeWireMidiPort*>(self);
    // A node that ran and then errs or disconnects has lost its daemon.
    if (port->opened_ && (state == PW_FILTER_STATE_ERROR || state == PW_FILTER_STATE_UNCONNECTED)) {
        port->opened_ = false;
        port->lose(error && *error ? error : "PipeWire disconnected");
    }
    pw_thread_loop_signal(port->client_.loop(), false);
}

bool PipeWireMidiPort::enqueue(const Message& message)
{
    std::uint32_t index = 0;
    const std::int32_t filled = spa_ringbuffer_get_write_index(&ring_, &index);
    if (filled < 0 || static_cast<std::uint32_t>(filled) + sizeof message > kQueueBytes)
        return false;
    spa_ringbuffer_write_data(&ring_, queue_, kQueueBytes, index & (kQueueBytes - 1), &message, sizeof message);
    spa_ringbuffer_write_update(&ring_, static_cast<std::int32_t>(index + sizeof message));
    return true;
}

void PipeWireMidiPort::onProcess(void* self, spa_io_position* position)
{
    static_cast<PipeWireMidiPort*>(self)->process(position);
}

// Whether this cycle follows on from the ones before without a gap.
bool PipeWireMidiPort::steady(const spa_io_position* position)
{
    if (!position)
        return true;
    const bool follows = position->clock.position == nextPosition_;
    nextPosition_ = position->clock.position + position->clock.duration;
    steadyCycles_ = follows ? std::min(steadyCycles_ + 1, kSteadyCycles) : 0;
    return steadyCycles_ == kSteadyCycles;
}

void PipeWireMidiPort::process(const spa_io_position* position)
{
    countCycle();
    const bool graphSteady = steady(position);
    std::uint32_t index = 0;
    const auto queued = static_cast<std::uint32_t>(std::max(spa_ringbuffer_get_read_index(&ring_, &index), 0));
    pw_buffer* b = pw_filter_dequeue_buffer(port_);
    spa_data* data = b ? &b->buffer->datas[0] : nullptr;
    if (!data || !data->data) {
        // Nothing listens: the messages go where a MIDI cable with nothing
        // plugged in sends them. A listener that has not yet handed the
        // buffer back gets them in the next cycle.
        if (!linked_.load())
            spa_ringbuffer_read_update(&ring_, static_cast<std::int32_t>(index + queued));
        if (b)
            pw_filter_queue_buffer(port_, b);
        return;
    }
    // The listener gets empty cycles while the graph settles.
    const std::uint32_t sendable = graphSteady ? queued : 0;
    spa_pod_builder builder{};
    const std::uint32_t room = std::min(data->maxsize, kCycleBytes);
    spa_pod_builder_init(&builder, data->data, room);
    spa_pod_frame frame{};
    spa_pod_builder_push_sequence(&builder, &frame, 0);
    std::uint32_t taken = 0;
    // What does not fit in this cycle goes in the next one.
    for (; taken + sizeof(Message) <= sendable && builder.state.offset + kEventBytes <= room;
         taken += sizeof(Message)) {
        Message message{};
        spa_ringbuffer_read_data(&ring_, queue_, kQueueBytes, (index + taken) & (kQueueBytes - 1), &message,
                                 sizeof message);
        spa_pod_builder_control(&builder, 0, SPA_CONTROL_Midi);
        spa_pod_builder_bytes(&builder, message.bytes, message.size);
    }
    spa_ringbuffer_read_update(&ring_, static_cast<std::int32_t>(index + taken));
    spa_pod_builder_pop(&builder, &frame);
    data->chunk->offset = 0;
    data->chunk->size = builder.state.offset;
    data->chunk->stride = 1;
    data->chunk->flags = 0;
    pw_filter_queue_buffer(port_, b);
}

}  // namespace

std::unique_ptr<MidiPort> openPipeWireMidiPort(const MidiPortRequest& request, std::string* why, PortFault* fault)
{
    return openPort<PipeWireMidiPort>(request, why, fault);
}

std::vector<std::string> listPipeWireMidiInputs()
{
    PipeWireClient client;
    std::string why;
    if (!client.connect("plinkora-midi", &why))
        return {};
    std::vector<PipeWireClient::Port> ports;
    {
        Lock lock(client.loop());
        if (!client.ports(&ports, &why))
            return {};
    }
    std::vector<std::string> inputs;
    for (const PipeWireClient::Port& port : ports)
        if (port.midiInput)
            inputs.push_back(port.nodeName + ":" + port.name);
    return inputs;
}

}  // namespace midi
