// bench-refclient-pw: a native PipeWire client whose latency is known, run
// through the same graph and recorder as the program (bench-refclient is the
// PulseAudio one).
//   bench-refclient-pw bursts COUNT INTERVAL [QUANTUM_FRAMES]
//       a stream with node.latency QUANTUM_FRAMES (256) that COUNT times,
//       INTERVAL s plus a random part of up to 50 ms apart, starts a 5 ms
//       burst at the first frame of the next cycle it fills. Per burst prints
//       "STAMP KNOWN": the wall-clock moment the burst was asked for, and
//       when it sounds after that by the graph's own figures.
//   bench-refclient-pw tone QUANTUM_FRAMES SECONDS
//       a steady tone with that node.latency for SECONDS; prints
//       "underflows N", the graph's cycles that went by without one of ours.

#include "Clock.h"
#include "PwStream.h"
#include "ReferenceSignal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// The cycle that carried a burst, as PipeWire told it.
struct Carried {
    double stamp = 0;
    pw_time time{};
    std::uint32_t frames = 0;
};

struct Client {
    bool tone = false;
    long long phase = 0;  // frames of tone (or of the current burst) written
    bool inBurst = false;
    std::atomic<double> pending{0};  // stamp of a burst asked for and not yet started
    std::vector<Carried> carried;    // reserved: the data thread only appends
    std::atomic<std::size_t> carriedCount{0};
    long long cycles = 0, firstTicks = 0, framesBefore = 0;
    std::atomic<long long> missedFrames{0};
};

// The graph's time that went by without a cycle of ours. A process call that
// runs late reads the next cycle's position, and the one after it then reads
// the same again: only the total tells.
void countCycles(Client& c, const pw_time& time, std::uint32_t frames)
{
    const auto ticks = static_cast<long long>(time.ticks);
    if (c.cycles++ == 0)
        c.firstTicks = ticks;
    c.missedFrames.store(ticks - c.firstTicks - c.framesBefore, std::memory_order_relaxed);
    c.framesBefore += frames;
}

void startBurst(Client& c, const pw_time& time, std::uint32_t frames)
{
    const double stamp = c.pending.exchange(0);
    if (stamp <= 0 || c.inBurst)
        return;
    const std::size_t n = c.carriedCount.load(std::memory_order_relaxed);
    if (n < c.carried.size()) {
        c.carried[n] = {stamp, time, frames};
        c.carriedCount.store(n + 1, std::memory_order_release);
    }
    c.inBurst = true;
    c.phase = 0;
}

void play(Client& c, pw_stream* stream)
{
    pw_buffer* b = pw_stream_dequeue_buffer(stream);
    if (!b)
        return;
    spa_data& data = b->buffer->datas[0];
    auto* out = static_cast<float*>(data.data);
    if (!out) {
        pw_stream_queue_buffer(stream, b);
        return;
    }
    std::uint32_t frames = data.maxsize / bench::kPwFrameBytes;
    if (b->requested != 0)
        frames = std::min<std::uint32_t>(frames, static_cast<std::uint32_t>(b->requested));
    pw_time time{};
    pw_stream_get_time_n(stream, &time, sizeof time);
    if (c.tone)
        countCycles(c, time, frames);
    else
        startBurst(c, time, frames);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const float v = (c.tone || c.inBurst) ? bench::referenceSample(c.tone, c.phase + f, bench::kPwRate) : 0.0f;
        out[f * bench::kPwChannels] = out[f * bench::kPwChannels + 1] = v;
    }
    c.phase += frames;
    if (!c.tone && c.phase >= bench::kBurstSeconds * bench::kPwRate)
        c.inBurst = false;
    data.chunk->offset = 0;
    data.chunk->stride = bench::kPwFrameBytes;
    data.chunk->size = frames * bench::kPwFrameBytes;
    b->size = frames;  // pw_time.queued counts frames then
    pw_stream_queue_buffer(stream, b);
}

// Played as the program plays: the default sink, the role "Music".
void connect(bench::PwStream& stream, int quantum)
{
    std::string why;
    if (stream.connect(PW_DIRECTION_OUTPUT,
                       pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                                         PW_KEY_MEDIA_ROLE, "Music", PW_KEY_NODE_LATENCY,
                                         bench::framesAtRate(quantum).c_str(), nullptr),
                       &why))
        return;
    std::fprintf(stderr, "bench-refclient-pw: %s\n", why.c_str());
    std::exit(1);
}

// When the burst's first frame sounds after its stamp. The burst is the first
// frame the stream gives in its cycle; the sink plays that cycle's frames
// once the cycle is over, one quantum after the cycle's clock, later by
// whatever PipeWire says lies between the stream and the sink (delay: the
// ports' latencies; queued: frames of ours ahead of it; buffered: in the
// resampler; all 0 with the null sink). bench-record-pw times its frames the
// same way from the cycles it captures in: a burst found there where this
// says is one that landed in the cycle it was written for.
double knownLatency(const Carried& b, double wallMinusMonotonic)
{
    const pw_time& t = b.time;
    const double cycle = wallMinusMonotonic + static_cast<double>(t.now) * 1e-9;
    const double quantum = static_cast<double>(b.frames) / bench::kPwRate;
    const double ahead = bench::pwSeconds(t.delay, t.rate)
        + static_cast<double>(t.queued + t.buffered) / bench::kPwRate;
    return cycle + quantum + ahead - b.stamp;
}

// PipeWire's figures behind the known latency, where they change.
void tellFigures(const Carried& b, const Carried* before)
{
    const pw_time& t = b.time;
    if (before && before->frames == b.frames && before->time.delay == t.delay && before->time.queued == t.queued
        && before->time.buffered == t.buffered)
        return;
    std::fprintf(stderr, "bench-refclient-pw: quantum %u, delay %lld/%u s, queued %llu, buffered %llu frames\n",
                 b.frames, static_cast<long long>(t.delay), t.rate.denom, static_cast<unsigned long long>(t.queued),
                 static_cast<unsigned long long>(t.buffered));
}

int bursts(int count, double interval, int quantum)
{
    Client c;
    c.carried.resize(static_cast<std::size_t>(count));
    bench::PwStream stream("plinkora-bench-reference", [&](pw_stream* s) { play(c, s); });
    connect(stream, quantum);
    const double offset = bench::wallMinusMonotonic();
    bench::burstSchedule(count, interval, [&c] { c.pending.store(bench::wallSeconds()); });
    const std::size_t found = c.carriedCount.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < found; ++i) {
        const Carried& b = c.carried[i];
        std::printf("%.6f %.6f\n", b.stamp, knownLatency(b, offset));
        tellFigures(b, i > 0 ? &c.carried[i - 1] : nullptr);
    }
    return found == static_cast<std::size_t>(count) ? 0 : 1;
}

int tone(int quantum, double seconds)
{
    Client c;
    c.tone = true;
    bench::PwStream stream("plinkora-bench-reference", [&](pw_stream* s) { play(c, s); });
    connect(stream, quantum);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    std::printf("underflows %lld\n", c.missedFrames.load() / quantum);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bursts" && (argc == 4 || argc == 5))
        return bursts(std::atoi(argv[2]), std::atof(argv[3]), argc == 5 ? std::atoi(argv[4]) : 256);
    if (mode == "tone" && argc == 4)
        return tone(std::atoi(argv[2]), std::atof(argv[3]));
    std::fputs("usage: bench-refclient-pw bursts COUNT INTERVAL [QUANTUM_FRAMES]\n"
               "       bench-refclient-pw tone QUANTUM_FRAMES SECONDS\n",
               stderr);
    return 2;
}
