#pragma once
// A PipeWire stream for the benchmarks' own clients, connected as the
// program's is (audio/PipeWireRealtime.h: the data thread real-time where permitted):
// float32 stereo at 48 kHz, the process callback on the real-time data thread.

#include <pipewire/pipewire.h>

#include <cstdint>
#include <functional>
#include <string>

namespace bench {

inline constexpr int kPwRate = 48000;
inline constexpr int kPwChannels = 2;
inline constexpr std::uint32_t kPwFrameBytes = kPwChannels * sizeof(float);

// "FRAMES/48000", a node.latency or node.rate value.
std::string framesAtRate(int frames);

// Seconds of a pw_time figure (ticks, delay) in its rate.
inline double pwSeconds(std::int64_t value, const spa_fraction& rate)
{
    return rate.denom ? static_cast<double>(value) * rate.num / rate.denom : 0.0;
}

class PwStream {
public:
    using Process = std::function<void(pw_stream*)>;

    PwStream(std::string name, Process process);
    ~PwStream();
    PwStream(const PwStream&) = delete;
    PwStream& operator=(const PwStream&) = delete;

    // Takes `properties` over; returns once the stream is linked and running.
    bool connect(pw_direction direction, pw_properties* properties, std::string* why);

private:
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state, const char* error);
    static void onProcess(void* self);
    bool waitLinked(std::string* why);

    std::string name_;
    Process process_;
    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_hook listener_{};
    pw_stream_events events_{};
};

}  // namespace bench
