// bench-refclient: a PulseAudio client whose latency is known, run through
// the same server and recorder as the program so that the chain's own share
// of a key-to-sound figure can be taken out.
//   bench-refclient bursts COUNT INTERVAL [TARGET_FRAMES [MINREQ_FRAMES]]
//       writes 64-frame blocks of silence into a small target buffer (128
//       frames, minreq 32) and COUNT times, INTERVAL s plus a random part of
//       up to 50 ms apart, starts a 5 ms burst in the next block it writes.
//       (pipewire-pulse grants larger buffers than asked: stderr says which.)
//       Per burst prints "STAMP KNOWN": the wall-clock moment the burst was
//       asked for, and the latency the client computes itself: the wait until
//       its write plus the stream latency libpulse reports at that write.
//   bench-refclient tone BUFFER_FRAMES SECONDS [MINREQ_FRAMES]
//       a steady tone with that target buffer for SECONDS; prints
//       "underflows N" (the server's count of the times it ran dry).
// The mainloop thread asks for real-time priority where permitted, as the
// program's audio thread does; stderr says whether it got it.

#include "Clock.h"
#include "ReferenceSignal.h"

#include <pulse/pulseaudio.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr std::size_t kBlockFrames = 64;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);
constexpr int kRealtimePriority = 60;

struct Burst {
    double stamp = 0;
    double known = 0;
};

struct Client {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    bool tone = false;
    long long phase = 0;           // frames of tone (or of the current burst) written
    double pending = 0;            // stamp of a burst asked for and not yet started
    bool inBurst = false;
    std::deque<Burst> done;
    int underflows = 0;
    bool priorityTried = false;
};

void askRealtime(Client& c)
{
    if (c.priorityTried)
        return;
    c.priorityTried = true;
    const sched_param param{kRealtimePriority};
    const bool ok = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    std::fprintf(stderr, "bench-refclient: real-time priority %s\n", ok ? "yes" : "no");
}


// Up to one block: a burst asked for starts at its first frame.
void fill(Client& c, float* out, std::size_t frames)
{
    if (!c.tone && c.pending > 0 && !c.inBurst) {
        pa_usec_t latency = 0;
        int negative = 0;
        const double now = bench::wallSeconds();
        if (pa_stream_get_latency(c.stream, &latency, &negative) == 0) {
            const double queued = negative ? -static_cast<double>(latency) : static_cast<double>(latency);
            c.done.push_back({c.pending, now - c.pending + queued * 1e-6});
        }
        c.pending = 0;
        c.inBurst = true;
        c.phase = 0;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const float v = (c.tone || c.inBurst) ? bench::referenceSample(c.tone, c.phase + static_cast<long long>(f), kRate) : 0.0f;
        for (int ch = 0; ch < kChannels; ++ch)
            out[f * kChannels + static_cast<std::size_t>(ch)] = v;
    }
    c.phase += static_cast<long long>(frames);
    if (!c.tone && c.phase >= bench::kBurstSeconds * kRate)
        c.inBurst = false;
}

// Exactly what the server asks for, in blocks of 64 frames (the last one
// shorter): more would pile up in its buffer and the latency would grow.
void onWrite(pa_stream* stream, std::size_t bytes, void* data)
{
    auto& c = *static_cast<Client*>(data);
    askRealtime(c);
    std::vector<float> block(kBlockFrames * kChannels);
    for (std::size_t left = bytes / kFrameBytes; left > 0;) {
        const std::size_t frames = std::min(left, kBlockFrames);
        fill(c, block.data(), frames);
        pa_stream_write(stream, block.data(), frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        left -= frames;
    }
}

void onUnderflow(pa_stream*, void* data) { ++static_cast<Client*>(data)->underflows; }

void signalLoop(void* data) { pa_threaded_mainloop_signal(static_cast<Client*>(data)->loop, 0); }
void onContextState(pa_context*, void* data) { signalLoop(data); }
void onStreamState(pa_stream*, void* data) { signalLoop(data); }

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "bench-refclient: %s\n", why.c_str());
    std::exit(1);
}

// Connects and starts playing; returns with the mainloop locked.
void connect(Client& c, std::uint32_t target, std::uint32_t minreq)
{
    c.loop = pa_threaded_mainloop_new();
    c.context = pa_context_new(pa_threaded_mainloop_get_api(c.loop), "plinkora-bench-reference");
    pa_context_set_state_callback(c.context, onContextState, &c);
    pa_threaded_mainloop_lock(c.loop);
    if (pa_context_connect(c.context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0 || pa_threaded_mainloop_start(c.loop) < 0)
        fail("cannot connect to the sound server");
    for (pa_context_state_t s; (s = pa_context_get_state(c.context)) != PA_CONTEXT_READY;) {
        if (!PA_CONTEXT_IS_GOOD(s))
            fail(pa_strerror(pa_context_errno(c.context)));
        pa_threaded_mainloop_wait(c.loop);
    }
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, kRate, kChannels};
    c.stream = pa_stream_new(c.context, c.tone ? "reference tone" : "reference bursts", &format, nullptr);
    pa_stream_set_state_callback(c.stream, onStreamState, &c);
    pa_stream_set_write_callback(c.stream, onWrite, &c);
    pa_stream_set_underflow_callback(c.stream, onUnderflow, &c);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = target * static_cast<std::uint32_t>(kFrameBytes);
    attr.minreq = minreq ? minreq * static_cast<std::uint32_t>(kFrameBytes) : static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING
                                                      | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(c.stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        fail(pa_strerror(pa_context_errno(c.context)));
    for (pa_stream_state_t s; (s = pa_stream_get_state(c.stream)) != PA_STREAM_READY;) {
        if (!PA_STREAM_IS_GOOD(s))
            fail(pa_strerror(pa_context_errno(c.context)));
        pa_threaded_mainloop_wait(c.loop);
    }
    const pa_buffer_attr* got = pa_stream_get_buffer_attr(c.stream);
    std::fprintf(stderr, "bench-refclient: tlength %u minreq %u frames\n", got->tlength / unsigned(kFrameBytes),
                 got->minreq / unsigned(kFrameBytes));
}


int bursts(int count, double interval, std::uint32_t target, std::uint32_t minreq)
{
    Client c;
    connect(c, target, minreq);
    pa_threaded_mainloop_unlock(c.loop);
    bench::burstSchedule(count, interval, [&c] {
        pa_threaded_mainloop_lock(c.loop);
        c.pending = bench::wallSeconds();
        pa_threaded_mainloop_unlock(c.loop);
    });
    pa_threaded_mainloop_lock(c.loop);
    for (const Burst& b : c.done)
        std::printf("%.6f %.6f\n", b.stamp, b.known);
    const auto found = c.done.size();
    pa_threaded_mainloop_unlock(c.loop);
    pa_threaded_mainloop_stop(c.loop);
    return found == static_cast<std::size_t>(count) ? 0 : 1;
}

int tone(std::uint32_t target, double seconds, std::uint32_t minreq)
{
    Client c;
    c.tone = true;
    connect(c, target, minreq);
    pa_threaded_mainloop_unlock(c.loop);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    pa_threaded_mainloop_lock(c.loop);
    std::printf("underflows %d\n", c.underflows);
    pa_threaded_mainloop_unlock(c.loop);
    pa_threaded_mainloop_stop(c.loop);
    return 0;
}

std::uint32_t framesArg(int argc, char** argv, int i, std::uint32_t otherwise)
{
    return argc > i ? static_cast<std::uint32_t>(std::atoi(argv[i])) : otherwise;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bursts" && argc >= 4)
        return bursts(std::atoi(argv[2]), std::atof(argv[3]), framesArg(argc, argv, 4, 128), framesArg(argc, argv, 5, 32));
    if (mode == "tone" && argc >= 4)
        return tone(framesArg(argc, argv, 2, 384), std::atof(argv[3]), framesArg(argc, argv, 4, 0));
    std::fputs("usage: bench-refclient bursts COUNT INTERVAL [TARGET_FRAMES [MINREQ_FRAMES]]\n"
               "       bench-refclient tone BUFFER_FRAMES SECONDS [MINREQ_FRAMES]\n",
               stderr);
    return 2;
}
