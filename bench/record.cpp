// bench-record: records a PulseAudio source (float32, 48 kHz, stereo) and
// notes when each 5 ms fragment arrived, so that the recording's sample clock
// can be mapped to wall-clock time (the null sink's clock drifts from it).
//   bench-record SOURCE AUDIO_FILE STAMP_FILE
// Runs until SIGINT or SIGTERM. STAMP_FILE lines: "FRAMES WALL", the frames
// recorded so far and the wall-clock time at which the last of them arrived.

#include "Clock.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <csignal>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kFragmentFrames = kRate / 200;  // 5 ms
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: bench-record SOURCE AUDIO_FILE STAMP_FILE\n", stderr);
        return 2;
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);

    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, kRate, kChannels};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(kFragmentFrames * kFrameBytes);
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "plinkora-bench", PA_STREAM_RECORD, argv[1], "bench recording", &format,
                                      nullptr, &attr, &error);
    if (!stream) {
        std::fprintf(stderr, "bench-record: %s\n", pa_strerror(error));
        return 1;
    }
    std::FILE* audio = std::fopen(argv[2], "wb");
    std::FILE* stamps = std::fopen(argv[3], "w");
    if (!audio || !stamps) {
        std::fputs("bench-record: cannot write the output files\n", stderr);
        return 1;
    }
    std::vector<float> fragment(static_cast<std::size_t>(kFragmentFrames * kChannels));
    long long frames = 0;
    while (!stopRequested) {
        if (pa_simple_read(stream, fragment.data(), fragment.size() * sizeof(float), &error) < 0) {
            std::fprintf(stderr, "bench-record: %s\n", pa_strerror(error));
            break;
        }
        const double arrived = bench::wallSeconds();
        frames += kFragmentFrames;
        std::fwrite(fragment.data(), sizeof(float), fragment.size(), audio);
        std::fprintf(stamps, "%lld %.6f\n", frames, arrived);
        // Flushed as it goes: the scripts wait for the first samples.
        std::fflush(audio);
        std::fflush(stamps);
    }
    pa_simple_free(stream);
    std::fclose(audio);
    std::fclose(stamps);
    return 0;
}
