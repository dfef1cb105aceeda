// Audio output as a native PipeWire stream: the graph calls us on its
// real-time data thread once per cycle and we render exactly the frames of
// that cycle into its buffer. PipeWire's client configuration
// (PipeWireRealtime.h) gives that thread real-time priority where the system
// allows it.

#include "AudioBackends.h"
#include "AudioPump.h"
#include "PipeWireClient.h"
#include "PipeWireConnect.h"

#include <pipewire/pipewire.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace audio {

namespace {

constexpr int kChannels = 2;
constexpr std::uint32_t kFrameBytes = kChannels * sizeof(float);

class PipeWireOut final : public PumpedOutput {
public:
    PipeWireOut(AudioSource& source, const AudioOptions& options) : PumpedOutput(source, options) {}
    ~PipeWireOut() override;

    bool open(std::string* why);
    void wake() override;

private:
    using Lock = LoopLock<pw_thread_loop, pw_thread_loop_lock, pw_thread_loop_unlock>;

    bool connectStream(std::string* why);
    bool waitForStream(std::string* why);
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state, const char* error);
    static void onProcess(void* self);
    static int onRest(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self);
    void process();

    PipeWireClient client_;
    pw_stream* stream_ = nullptr;
    spa_hook listener_{};
    bool opened_ = false;  // under the loop lock
    pw_stream_events events_{};
};

PipeWireOut::~PipeWireOut()
{
    if (!client_.loop())
        return;
    Lock lock(client_.loop());
    if (stream_) {
        // Closing is not losing the daemon.
        spa_hook_remove(&listener_);
        pw_stream_destroy(stream_);
        // A rest the graph's thread asked for meanwhile still runs on the
        // loop, until the client's destructor stops it: it finds no stream.
        stream_ = nullptr;
    }
}

bool PipeWireOut::open(std::string* why)
{
    if (!client_.connect("plinkora-audio", why))
        return false;
    Lock lock(client_.loop());
    return connectStream(why) && waitForStream(why);
}

bool PipeWireOut::connectStream(std::string* why)
{
    const AudioOptions& o = pump_.options();
    const auto rate = static_cast<std::uint32_t>(o.sampleRate);
    const std::string latency = std::to_string(buffer_.frames()) + "/" + std::to_string(rate);
    stream_ = pw_stream_new(client_.core(), "Piano",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                                              PW_KEY_MEDIA_ROLE, "Music", PW_KEY_NODE_LATENCY, latency.c_str(),
                                              nullptr));
    if (!stream_) {
        *why = std::string("cannot create a PipeWire stream: ") + std::strerror(errno);
        return false;
    }
    events_.version = PW_VERSION_STREAM_EVENTS;
    events_.state_changed = &PipeWireOut::onStateChanged;
    events_.process = &PipeWireOut::onProcess;
    pw_stream_add_listener(stream_, &listener_, &events_, this);

    if (const int result = connectStereoFloat(stream_, PW_DIRECTION_OUTPUT, rate); result < 0) {
        *why = std::string("cannot connect a PipeWire stream: ") + std::strerror(-result);
        return false;
    }
    return true;
}

bool PipeWireOut::waitForStream(std::string* why)
{
    for (;;) {
        const char* error = nullptr;
        switch (pw_stream_get_state(stream_, &error)) {
        case PW_STREAM_STATE_PAUSED:
        case PW_STREAM_STATE_STREAMING:
            opened_ = true;
            reportBuffer(buffer_.frames());
            return true;
        case PW_STREAM_STATE_ERROR:
        case PW_STREAM_STATE_UNCONNECTED:
            *why = std::string("the PipeWire stream failed: ") + (error ? error : "unconnected");
            return false;
        case PW_STREAM_STATE_CONNECTING:
            break;
        }
        if (!client_.wait()) {
            *why = "the PipeWire stream did not start";
            return false;
        }
    }
}

void PipeWireOut::onStateChanged(void* self, pw_stream_state, pw_stream_state state, const char* error)
{
    auto* out = static_cast<PipeWireOut*>(self);
    // A stream that played and then errs or disconnects has lost its daemon.
    if (out->opened_ && (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED))
        out->lose(error && *error ? error : "PipeWire disconnected");
    pw_thread_loop_signal(out->client_.loop(), false);
}

void PipeWireOut::onProcess(void* self) { static_cast<PipeWireOut*>(self)->process(); }

void PipeWireOut::process()
{
    pw_buffer* b = pw_stream_dequeue_buffer(stream_);
    if (!b)
        return;
    spa_data& data = b->buffer->datas[0];
    auto* samples = static_cast<float*>(data.data);
    if (!samples) {
        pw_stream_queue_buffer(stream_, b);
        return;
    }
    std::uint32_t frames = data.maxsize / kFrameBytes;
    if (b->requested != 0)
        frames = std::min<std::uint32_t>(frames, static_cast<std::uint32_t>(b->requested));
    const bool rest = pump_.pump(samples, samples + 1, kChannels, static_cast<int>(frames));
    data.chunk->offset = 0;
    data.chunk->stride = kFrameBytes;
    data.chunk->size = frames * kFrameBytes;
    pw_stream_queue_buffer(stream_, b);
    // Deactivating is not for the real-time thread: the loop thread does it.
    if (rest)
        pw_loop_invoke(pw_thread_loop_get_loop(client_.loop()), &PipeWireOut::onRest, 0, nullptr, 0, false, this);
}

int PipeWireOut::onRest(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self)
{
    auto* out = static_cast<PipeWireOut*>(self);
    // A message may have come since the data thread decided: then it stays
    // on. The loop holds its lock here, as the destructor did to clear stream_.
    if (out->stream_ && out->pump_.resting())
        pw_stream_set_active(out->stream_, false);
    return 0;
}

void PipeWireOut::wake()
{
    if (!pump_.wake())
        return;
    Lock lock(client_.loop());
    pw_stream_set_active(stream_, true);
}

}  // namespace

std::unique_ptr<AudioOutput> openPipeWire(AudioSource& source, const AudioOptions& options, std::string* why)
{
    auto output = std::make_unique<PipeWireOut>(source, options);
    if (!output->open(why))
        return nullptr;
    return output;
}

}  // namespace audio
