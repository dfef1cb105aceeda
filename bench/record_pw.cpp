// bench-record-pw: records what a PipeWire sink plays (float32, 48 kHz,
// stereo) and stamps it from the graph's own clock, in the files bench-record
// writes for PulseAudio.
//   bench-record-pw SINK AUDIO_FILE STAMP_FILE [QUANTUM_FRAMES]
// Runs until SIGINT or SIGTERM. STAMP_FILE: "# graph clock", then lines
// "FRAMES WALL", the frames recorded so far and the wall-clock time at which
// the last of them ends, one line a buffer. They are exact: bench-analyze maps
// each frame through its own buffer's line rather than fitting a clock.
// QUANTUM_FRAMES (node.latency, 256) should be the program's: a smaller one
// would make the whole graph, the program too, run at that quantum.
//
// The graph's driver (the null sink) wakes every quantum at a time it
// computes, not at a time it happens to run, and stamps the cycle with it;
// each buffer the sink plays in one cycle reaches its monitor in the next.
// So the frames captured in a cycle whose clock reads T were played by the
// sink in the cycle before, and are taken to sound from T on: the cycle's
// end is the latest moment at which a device would have been given them.

#include "Clock.h"
#include "PwStream.h"
#include "Stats.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kMaxFrames = 8192;  // PipeWire's largest quantum
constexpr std::size_t kSlots = 128;

struct Cycle {
    pw_time time{};
    double called = 0;  // monotonic seconds
    std::uint32_t frames = 0;
    std::array<float, kMaxFrames * bench::kPwChannels> samples{};
};

// The data thread fills slots, the main thread writes them out.
class CycleQueue {
public:
    CycleQueue() : slots_(kSlots) {}
    Cycle* toFill() { return head_ - tail_.load(std::memory_order_acquire) < kSlots ? &slots_[head_ % kSlots] : nullptr; }
    void filled() { head_.store(head_ + 1, std::memory_order_release); }
    Cycle* toWrite() { return tail_ < head_.load(std::memory_order_acquire) ? &slots_[tail_ % kSlots] : nullptr; }
    void written() { tail_.store(tail_ + 1, std::memory_order_release); }

private:
    std::vector<Cycle> slots_;
    std::atomic<std::size_t> head_{0}, tail_{0};
};

void keep(pw_stream* stream, const spa_data& data, CycleQueue& queue, std::atomic<int>& overflows)
{
    Cycle* cycle = queue.toFill();
    if (!cycle || !data.data) {
        overflows.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    pw_stream_get_time_n(stream, &cycle->time, sizeof cycle->time);
    cycle->called = bench::monotonicSeconds();
    const std::uint32_t offset = std::min(data.chunk->offset, data.maxsize);
    const std::uint32_t bytes = std::min(data.chunk->size, data.maxsize - offset);
    cycle->frames = std::min(bytes / bench::kPwFrameBytes, kMaxFrames);
    std::memcpy(cycle->samples.data(), static_cast<const char*>(data.data) + offset, cycle->frames * bench::kPwFrameBytes);
    queue.filled();
}

// Every buffer waiting: one left behind would put the recording a cycle late.
void capture(pw_stream* stream, CycleQueue& queue, std::atomic<int>& overflows, std::atomic<int>& several)
{
    int taken = 0;
    for (pw_buffer* b; (b = pw_stream_dequeue_buffer(stream)); ++taken) {
        keep(stream, b->buffer->datas[0], queue, overflows);
        pw_stream_queue_buffer(stream, b);
    }
    if (taken > 1)
        several.fetch_add(1, std::memory_order_relaxed);
}

// Stamps each buffer with the graph's time at which the sink played it. A
// process call that runs late, after the driver has begun the next cycle,
// reads that cycle's position: a reading can be too new, never too old. The
// audio itself is contiguous, so a buffer's position is the least that its
// own reading and those of the next few buffers allow; a position that stays
// ahead of the audio means cycles the recorder missed.
class Stamper {
public:
    explicit Stamper(std::FILE* out) : out_(out) {}

    void add(const Cycle& cycle, long long framesBefore)
    {
        const auto ticks = static_cast<long long>(cycle.time.ticks);
        if (pending_.empty() && written_ == 0)
            firstTicks_ = ticks;
        pending_.push_back({framesBefore, cycle.frames, ticks - firstTicks_ - framesBefore, cycle.time.now,
                            cycle.called - static_cast<double>(cycle.time.now) * 1e-9});
    }
    // Writes the stamps that no later reading can change any more (all: every one).
    void write(bool all)
    {
        while (pending_.size() > (all ? 0 : kLookAhead)) {
            long long least = pending_.front().ahead;
            for (std::size_t i = 1; i < std::min(pending_.size(), kLookAhead + 1); ++i)
                least = std::min(least, pending_[i].ahead);
            stamp(pending_.front(), least);
            pending_.pop_front();
        }
        std::fflush(out_);
    }
    long long missedFrames() const { return missed_; }
    // How long after its cycle's clock each process call began (that read
    // its own cycle's position): what a note played just after a cycle
    // began can still catch, in every client the cycle wakes.
    const std::vector<double>& lateness() const { return lateness_; }

private:
    struct Reading {
        long long framesBefore;
        std::uint32_t frames;
        long long ahead;  // of the audio, by the position read
        std::int64_t now;
        double late;
    };
    static constexpr std::size_t kLookAhead = 16;

    void stamp(const Reading& r, long long ahead)
    {
        // The cycle's clock is when its frames start to sound (see above).
        const double start = offset_ + static_cast<double>(r.now) * 1e-9
            - static_cast<double>(r.ahead - ahead) / bench::kPwRate;
        if (written_ == 0)
            std::fputs("# graph clock\n", out_);
        else if (ahead > ahead_)
            std::fprintf(stderr, "bench-record-pw: %lld frames missed before %.6f\n", ahead - ahead_, start);
        else if (ahead < ahead_)
            std::fprintf(stderr, "bench-record-pw: %lld frames more than the clock allows before %.6f\n",
                         ahead_ - ahead, start);
        missed_ += written_ > 0 ? std::max(ahead - ahead_, 0LL) : 0;
        if (r.ahead == ahead)
            lateness_.push_back(r.late);
        ahead_ = ahead;
        ++written_;
        std::fprintf(out_, "%lld %.6f\n", r.framesBefore + r.frames, start + static_cast<double>(r.frames) / bench::kPwRate);
    }

    std::FILE* out_;
    const double offset_ = bench::wallMinusMonotonic();
    std::deque<Reading> pending_;
    std::vector<double> lateness_;
    long long firstTicks_ = 0, ahead_ = 0, missed_ = 0, written_ = 0;
};

// Writes the audio as it comes and its stamps once they are settled.
class Writer {
public:
    Writer(std::FILE* audio, std::FILE* stamps) : audio_(audio), stamper_(stamps) {}

    void write(const Cycle& cycle)
    {
        std::fwrite(cycle.samples.data(), bench::kPwFrameBytes, cycle.frames, audio_);
        stamper_.add(cycle, frames_);
        frames_ += cycle.frames;
        note(cycle);
    }
    // Flushed as it goes: the scripts wait for the first samples.
    void flush(bool all)
    {
        std::fflush(audio_);
        stamper_.write(all);
    }
    long long missedFrames() const { return stamper_.missedFrames(); }
    const std::vector<double>& lateness() const { return stamper_.lateness(); }

private:
    // What PipeWire says about the capture, whenever it changes.
    void note(const Cycle& cycle)
    {
        if (cycle.frames == quantum_ && cycle.time.delay == delay_)
            return;
        quantum_ = cycle.frames;
        delay_ = cycle.time.delay;
        std::fprintf(stderr, "bench-record-pw: quantum %u frames, capture delay %lld/%u s\n", quantum_,
                     static_cast<long long>(delay_), cycle.time.rate.denom);
    }

    std::FILE* audio_;
    Stamper stamper_;
    long long frames_ = 0;
    std::uint32_t quantum_ = 0;
    std::int64_t delay_ = -1;
};

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

pw_properties* captureProperties(const char* sink, int quantum)
{
    return pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE,
                             "Production", PW_KEY_STREAM_CAPTURE_SINK, "true", PW_KEY_TARGET_OBJECT, sink,
                             PW_KEY_NODE_LATENCY, bench::framesAtRate(quantum).c_str(), PW_KEY_NODE_DONT_RECONNECT,
                             "true", nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5) {
        std::fputs("usage: bench-record-pw SINK AUDIO_FILE STAMP_FILE [QUANTUM_FRAMES]\n", stderr);
        return 2;
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::FILE* audio = std::fopen(argv[2], "wb");
    std::FILE* stamps = std::fopen(argv[3], "w");
    if (!audio || !stamps) {
        std::fputs("bench-record-pw: cannot write the output files\n", stderr);
        return 1;
    }
    const int quantum = argc == 5 ? std::atoi(argv[4]) : 256;
    auto queue = std::make_unique<CycleQueue>();
    std::atomic<int> overflows{0}, several{0};
    Writer writer(audio, stamps);
    {
        bench::PwStream stream("plinkora-bench-record",
                               [&](pw_stream* s) { capture(s, *queue, overflows, several); });
        std::string why;
        if (!stream.connect(PW_DIRECTION_INPUT, captureProperties(argv[1], quantum), &why)) {
            std::fprintf(stderr, "bench-record-pw: %s\n", why.c_str());
            return 1;
        }
        while (!stopRequested) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const Cycle* c; (c = queue->toWrite()); queue->written())
                writer.write(*c);
            writer.flush(false);
        }
    }
    for (const Cycle* c; (c = queue->toWrite()); queue->written())
        writer.write(*c);
    writer.flush(true);
    std::fprintf(stderr, "bench-record-pw: %lld frames missed, %d cycles not kept, %d times several buffers\n",
                 writer.missedFrames(), overflows.load(), several.load());
    const auto& late = writer.lateness();
    std::fprintf(stderr, "bench-record-pw: process calls began %.3f %.3f %.3f ms (median, p99, max) after their cycle\n",
                 bench::median(late) * 1000, bench::percentile(late, 99) * 1000, bench::percentile(late, 100) * 1000);
    std::fclose(audio);
    std::fclose(stamps);
    return 0;
}
