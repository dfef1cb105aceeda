// plinkora-midi-listen pipewire|jack
// A client "midi-listen" with one MIDI input, "input", that keeps up with any
// flood: the graph's thread only copies each message, stamped with the wall
// clock, into memory set aside beforehand (a listener that prints from there,
// as pw-mididump does, or whose queue fills, as jack_midi_dump's does, loses
// messages on a busy machine). The main thread prints them every 10 ms as
// "SECONDS BYTE..." (hex), "missed CYCLES" when it has missed graph cycles,
// and at the end (SIGINT, SIGTERM) "cycle FRAMES RATE".

#include <jack/jack.h>
#include <jack/midiport.h>
#include <pipewire/filter.h>
#include <pipewire/pipewire.h>
#include <spa/control/control.h>
#include <spa/pod/iter.h>

#include "audio/PipeWireRealtime.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <thread>

namespace {

struct Arrival {
    double wall;
    std::array<std::uint8_t, 3> bytes;
    std::uint8_t size;
};

constexpr std::size_t kMaxArrivals = 200000;
std::array<Arrival, kMaxArrivals> arrivals;
std::atomic<std::size_t> arrived{0};
std::atomic<unsigned> cycleFrames{0}, cycleRate{0};
std::atomic<bool> ending{false};

double wallSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// On the graph's thread, first thing: above the servers' own real-time
// threads (they ask for 88 at most) and any other program's on the machine,
// so that the listener reads each cycle as soon as it is handed over, before
// the next one takes its place. Where that is not allowed it stays as it was.
void keepUp()
{
    thread_local bool raised = false;
    if (raised)
        return;
    raised = true;
    sched_param param{};
    param.sched_priority = 95;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

// On the graph's thread: a cycle that does not begin where the last one
// ended was missed (the machine held the thread past it), and the graph
// gave that cycle's messages to nobody. What a port sends can only be
// judged where nothing was missed.
// A graph that pauses the listener (PipeWire does when nothing is linked to
// it) goes on from its own position once it runs again: that gap missed nothing.
std::atomic<std::uint64_t> missed{0};
std::atomic<bool> restarted{false};

void follow(std::uint64_t start, std::uint64_t frames)
{
    thread_local std::uint64_t next = 0;
    thread_local bool first = true;
    if (restarted.exchange(false, std::memory_order_relaxed))
        first = true;
    if (!first && frames && start > next)
        missed.fetch_add((start - next + frames - 1) / frames, std::memory_order_relaxed);
    first = false;
    next = start + frames;
}

// On the graph's thread.
void keep(double wall, const std::uint8_t* data, std::size_t size)
{
    const std::size_t i = arrived.load(std::memory_order_relaxed);
    if (i == kMaxArrivals || size == 0)
        return;
    Arrival& a = arrivals[i];
    a.wall = wall;
    a.size = static_cast<std::uint8_t>(std::min<std::size_t>(size, a.bytes.size()));
    std::copy_n(data, a.size, a.bytes.begin());
    arrived.store(i + 1, std::memory_order_release);
}

void printFrom(std::size_t* printed)
{
    thread_local std::uint64_t told = 0;
    if (const std::uint64_t cycles = missed.load(std::memory_order_relaxed); cycles != told)
        std::printf("missed %llu\n", static_cast<unsigned long long>(told = cycles));
    const std::size_t until = arrived.load(std::memory_order_acquire);
    for (; *printed < until; ++*printed) {
        const Arrival& a = arrivals[*printed];
        std::printf("%.6f", a.wall);
        for (std::size_t b = 0; b < a.size; ++b)
            std::printf(" %02x", a.bytes[b]);
        std::printf("\n");
    }
    std::fflush(stdout);
}

void onSignal(int) { ending = true; }

int printUntilEnd()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::size_t printed = 0;
    while (!ending) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        printFrom(&printed);
    }
    printFrom(&printed);
    std::printf("cycle %u %u\n", cycleFrames.load(), cycleRate.load());
    return 0;
}

jack_client_t* jackClient = nullptr;
jack_port_t* jackInput = nullptr;

int jackProcess(jack_nframes_t frames, void*)
{
    keepUp();
    follow(jack_last_frame_time(jackClient), frames);
    const double now = wallSeconds();
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
    jack_client_t* client = jackClient = jack_client_open("midi-listen", JackNoStartServer, nullptr);
    if (!client) {
        std::fputs("midi-listen: no JACK server\n", stderr);
        return 1;
    }
    jackInput = jack_port_register(client, "input", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    cycleRate = jack_get_sample_rate(client);
    jack_set_process_callback(client, jackProcess, nullptr);
    if (!jackInput || jack_activate(client) != 0) {
        std::fputs("midi-listen: cannot start the JACK client\n", stderr);
        return 1;
    }
    const int status = printUntilEnd();
    jack_client_close(client);
    return status;
}

void* pwInput = nullptr;

void pwProcess(void*, spa_io_position* position)
{
    keepUp();
    const double now = wallSeconds();
    if (position) {
        cycleFrames = static_cast<unsigned>(position->clock.duration);
        cycleRate = position->clock.rate.denom;
        follow(position->clock.position, position->clock.duration);
    }
    pw_buffer* b = pw_filter_dequeue_buffer(pwInput);
    if (!b)
        return;
    spa_data& d = b->buffer->datas[0];
    auto* pod = d.data ? static_cast<spa_pod*>(spa_pod_from_data(d.data, d.maxsize, d.chunk->offset, d.chunk->size))
                       : nullptr;
    if (pod && spa_pod_is_sequence(pod)) {
        auto* sequence = reinterpret_cast<spa_pod_sequence*>(pod);
        for (spa_pod_control* c = spa_pod_control_first(&sequence->body);
             spa_pod_control_is_inside(&sequence->body, SPA_POD_BODY_SIZE(sequence), c); c = spa_pod_control_next(c))
            if (c->type == SPA_CONTROL_Midi)
                keep(now, static_cast<const std::uint8_t*>(SPA_POD_BODY(&c->value)), SPA_POD_BODY_SIZE(&c->value));
    }
    pw_filter_queue_buffer(pwInput, b);
}

int listenPipeWire()
{
    // A graph thread of real-time priority, as a synthesizer has. Without it
    // a busy machine keeps it waiting past the next cycle, and that cycle's
    // buffer takes the place of the one not yet read.
    setenv("PIPEWIRE_CONFIG_NAME", audio::realtimeClientConfig(), 0);
    pw_init(nullptr, nullptr);
    pw_thread_loop* loop = pw_thread_loop_new("midi-listen", nullptr);
    static pw_filter_events events{};
    events.version = PW_VERSION_FILTER_EVENTS;
    events.process = pwProcess;
    events.state_changed = [](void*, pw_filter_state, pw_filter_state state, const char*) {
        if (state == PW_FILTER_STATE_PAUSED)
            restarted.store(true, std::memory_order_relaxed);
    };
    pw_filter* filter = pw_filter_new_simple(pw_thread_loop_get_loop(loop), "midi-listen",
                                             pw_properties_new(PW_KEY_MEDIA_TYPE, "Midi", PW_KEY_MEDIA_CATEGORY,
                                                               "Filter", PW_KEY_MEDIA_ROLE, "DSP", nullptr),
                                             &events, nullptr);
    pwInput = pw_filter_add_port(filter, PW_DIRECTION_INPUT, PW_FILTER_PORT_FLAG_MAP_BUFFERS, 0,
                                 pw_properties_new(PW_KEY_FORMAT_DSP, "8 bit raw midi", PW_KEY_PORT_NAME, "input",
                                                   nullptr),
                                 nullptr, 0);
    if (!pwInput || pw_filter_connect(filter, PW_FILTER_FLAG_RT_PROCESS, nullptr, 0) < 0
        || pw_thread_loop_start(loop) < 0) {
        std::fputs("midi-listen: cannot start the PipeWire filter\n", stderr);
        return 1;
    }
    const int status = printUntilEnd();
    pw_thread_loop_lock(loop);
    pw_filter_destroy(filter);
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    pw_thread_loop_destroy(loop);
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string server = argc == 2 ? argv[1] : "";
    if (server == "jack")
        return listenJack();
    if (server == "pipewire")
        return listenPipeWire();
    std::fputs("usage: plinkora-midi-listen pipewire|jack\n", stderr);
    return 2;
}
