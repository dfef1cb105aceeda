// bench-midi: the receiving end of the MIDI port benchmark, and its ruler.
//   bench-midi listen pipewire|jack
//       a client "bench-midi" with one MIDI input "input"; stamps every
//       message with the wall clock when its process callback receives it
//       and, once ended (SIGINT, SIGTERM), prints "cycle FRAMES RATE" and per
//       message "ARRIVAL BYTE..." (hex).
//   bench-midi reference pipewire|jack COUNT
//       the ruler: the program's own port (audio/MidiPort.h), linked to
//       bench-midi, sent COUNT note-ons on channel 16 at random moments 0.1 to
//       0.15 s apart, each stamped just before it is queued ("SENT" lines).
//       Without the window and the X server in the way, what it measures is
//       the port's wait for the next cycle: between 0 and one cycle, half a
//       cycle in the median, whatever the phase.

#include "Clock.h"
#include "audio/MidiPort.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <pipewire/filter.h>
#include <pipewire/pipewire.h>
#include <spa/control/control.h>
#include <spa/pod/iter.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

namespace {

struct Arrival {
    double wall;
    std::array<std::uint8_t, 3> bytes;
    std::uint8_t size;
};

// Filled by the graph's thread, printed at the end.
constexpr std::size_t kMaxArrivals = 200000;
std::array<Arrival, kMaxArrivals> arrivals;
std::atomic<std::size_t> arrived{0};
std::atomic<unsigned> cycleFrames{0}, cycleRate{0};

void keep(double wall, const std::uint8_t* data, std::size_t size)
{
    const std::size_t i = arrived.load(std::memory_order_relaxed);
    if (i == kMaxArrivals || size == 0)
        return;
    Arrival& a = arrivals[i];
    a.wall = wall;
    a.size = static_cast<std::uint8_t>(std::min<std::size_t>(size, 3));
    for (std::size_t b = 0; b < a.size; ++b)
        a.bytes[b] = data[b];
    arrived.store(i + 1, std::memory_order_release);
}

void print()
{
    std::printf("cycle %u %u\n", cycleFrames.load(), cycleRate.load());
    for (std::size_t i = 0; i < arrived.load(); ++i) {
        std::printf("%.6f", arrivals[i].wall);
        for (std::size_t b = 0; b < arrivals[i].size; ++b)
            std::printf(" %02x", arrivals[i].bytes[b]);
        std::printf("\n");
    }
}

std::atomic<bool> ending{false};
void onSignal(int) { ending = true; }

void waitForSignal()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!ending)
        pause();
}

// JACK ----------------------------------------------------------------------

jack_port_t* jackInput = nullptr;

int jackProcess(jack_nframes_t frames, void*)
{
    const double now = bench::wallSeconds();
    void* buffer = jack_port_get_buffer(jackInput, frames);
    const jack_nframes_t count = jack_midi_get_event_count(buffer);
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) == 0)
            keep(now, event.buffer, event.size);
    }
    cycleFrames = frames;
    return 0;
}

int listenJack()
{
    jack_client_t* client = jack_client_open("bench-midi", JackNoStartServer, nullptr);
    if (!client) {
        std::fputs("bench-midi: no JACK server\n", stderr);
        return 1;
    }
    jackInput = jack_port_register(client, "input", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    cycleRate = jack_get_sample_rate(client);
    jack_set_process_callback(client, jackProcess, nullptr);
    if (!jackInput || jack_activate(client) != 0) {
        std::fputs("bench-midi: cannot start the JACK client\n", stderr);
        return 1;
    }
    waitForSignal();
    jack_client_close(client);
    print();
    return 0;
}

// PipeWire ------------------------------------------------------------------

struct PwListener {
    pw_main_loop* loop = nullptr;
    pw_filter* filter = nullptr;
    void* port = nullptr;
};

void pwProcess(void* data, spa_io_position* position)
{
    const double now = bench::wallSeconds();
    auto* listener = static_cast<PwListener*>(data);
    if (position) {
        cycleFrames = static_cast<unsigned>(position->clock.duration);
        cycleRate = position->clock.rate.denom;
    }
    pw_buffer* b = pw_filter_dequeue_buffer(listener->port);
    if (!b)
        return;
    spa_data& d = b->buffer->datas[0];
    spa_pod* pod = d.data ? static_cast<spa_pod*>(spa_pod_from_data(d.data, d.maxsize, d.chunk->offset, d.chunk->size))
                          : nullptr;
    if (pod && spa_pod_is_sequence(pod)) {
        auto* sequence = reinterpret_cast<spa_pod_sequence*>(pod);
        for (spa_pod_control* c = spa_pod_control_first(&sequence->body);
             spa_pod_control_is_inside(&sequence->body, SPA_POD_BODY_SIZE(sequence), c); c = spa_pod_control_next(c))
            if (c->type == SPA_CONTROL_Midi)
                keep(now, static_cast<const std::uint8_t*>(SPA_POD_BODY(&c->value)), SPA_POD_BODY_SIZE(&c->value));
    }
    pw_filter_queue_buffer(listener->port, b);
}

void pwQuit(void* data, int) { pw_main_loop_quit(static_cast<PwListener*>(data)->loop); }

int listenPipeWire()
{
    pw_init(nullptr, nullptr);
    PwListener listener;
    listener.loop = pw_main_loop_new(nullptr);
    pw_loop_add_signal(pw_main_loop_get_loop(listener.loop), SIGINT, pwQuit, &listener);
    pw_loop_add_signal(pw_main_loop_get_loop(listener.loop), SIGTERM, pwQuit, &listener);
    static pw_filter_events events{};
    events.version = PW_VERSION_FILTER_EVENTS;
    events.process = pwProcess;
    listener.filter = pw_filter_new_simple(pw_main_loop_get_loop(listener.loop), "bench-midi",
                                           pw_properties_new(PW_KEY_MEDIA_TYPE, "Midi", PW_KEY_MEDIA_CATEGORY, "Filter",
                                                             PW_KEY_MEDIA_ROLE, "DSP", nullptr),
                                           &events, &listener);
    listener.port = pw_filter_add_port(listener.filter, PW_DIRECTION_INPUT, PW_FILTER_PORT_FLAG_MAP_BUFFERS, 0,
                                       pw_properties_new(PW_KEY_FORMAT_DSP, "8 bit raw midi", PW_KEY_PORT_NAME, "input",
                                                         nullptr),
                                       nullptr, 0);
    if (!listener.port || pw_filter_connect(listener.filter, PW_FILTER_FLAG_RT_PROCESS, nullptr, 0) < 0) {
        std::fputs("bench-midi: cannot start the PipeWire filter\n", stderr);
        return 1;
    }
    pw_main_loop_run(listener.loop);
    pw_filter_destroy(listener.filter);
    pw_main_loop_destroy(listener.loop);
    print();
    return 0;
}

// The ruler -----------------------------------------------------------------

int reference(const std::string& server, int count)
{
    std::string why;
    audio::PortFault fault{};
    auto port = audio::openMidiPort({server, "bench-midi:input", {}}, &why, &fault);
    if (!port) {
        std::fprintf(stderr, "bench-midi: %s\n", why.c_str());
        return 1;
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> pause(0.1, 0.15);
    for (int i = 0; i < count; ++i) {
        bench::sleepUntilWall(bench::wallSeconds() + pause(random));
        const std::uint8_t message[3] = {0x9F, static_cast<std::uint8_t>(i % 128), 100};
        const double sent = bench::wallSeconds();
        port->send(message, 3);
        std::printf("SENT %.6f\n", sent);
    }
    bench::sleepUntilWall(bench::wallSeconds() + 0.3);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 2 ? argv[1] : "", server = argc > 2 ? argv[2] : "";
    if (mode == "listen" && server == "jack")
        return listenJack();
    if (mode == "listen" && server == "pipewire")
        return listenPipeWire();
    if (mode == "reference" && argc > 3)
        return reference(server, std::atoi(argv[3]));
    std::fputs("usage: bench-midi listen pipewire|jack | reference pipewire|jack COUNT\n", stderr);
    return 2;
}
