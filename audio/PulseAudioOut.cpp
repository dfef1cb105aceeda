// Audio output to a PulseAudio server (or PipeWire's pipewire-pulse) through
// libpulse's asynchronous API: the server's write requests are answered on
// libpulse's own thread by rendering exactly the frames it asks for.
//
// Buffering: tlength is the whole target (AudioOptions::bufferFrames, grown
// on underflows up to maxBufferFrames), minreq one synthesizer block, and the
// stream asks for PA_STREAM_ADJUST_LATENCY. The server then gives the sink
// (tlength - 2 * minreq) / 2 and keeps the rest queued for the stream, so a
// note waits at most one block for its render and then about tlength - minreq
// frames. Without the flag the server still asks the sink for
// tlength - 2 * minreq, but on top of the stream's own tlength: nearly twice
// the audio ahead of a note for the same protection against underflows
// (about 576 frames against 320 for a 384-frame target; measured, 8.1 against
// 5.0 ms median from key to sound). minreq is one block: two would halve the
// wake-ups, but take a block from the sink's share, which is what rides out a
// late wake-up, and double the spread of a note's wait for its request.
// On a 2-core machine a 256-frame queue underflows now and then even for a
// client that only copies a tone, so the target grows; at 512 frames (about
// 7 ms from key to sound) it stops, so that a busy moment costs a click
// rather than a lasting delay (bench/e2e_keytosound.sh).

#include "AudioBackends.h"
#include "AudioPump.h"
#include "Realtime.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop-api.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>

namespace audio {

namespace {

constexpr int kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);
constexpr pa_stream_flags_t kStreamFlags = PA_STREAM_ADJUST_LATENCY;

std::uint32_t bytesOf(int frames) { return static_cast<std::uint32_t>(frames * kFrameBytes); }

class PulseAudioOut final : public PumpedOutput {
public:
    PulseAudioOut(AudioSource& source, const AudioOptions& options) : PumpedOutput(source, options) {}
    ~PulseAudioOut() override;

    bool open(std::string* why);
    void wake() override;

private:
    using Lock = LoopLock<pa_threaded_mainloop, pa_threaded_mainloop_lock, pa_threaded_mainloop_unlock>;

    bool connectContext(std::string* why);
    bool connectStream(std::string* why);
    void askRealtime();
    std::string error() const { return pa_strerror(pa_context_errno(context_)); }
    pa_buffer_attr bufferAttr(int frames) const;
    void drop(pa_operation* operation) const
    {
        if (operation)
            pa_operation_unref(operation);
    }

    static void onLoopThread(pa_mainloop_api*, void* self);
    static void onContextState(pa_context* context, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void onUnderflow(pa_stream* stream, void* self);
    void write(std::size_t bytes);
    void grow();
    void resize(int frames);
    void connectionLost();
    std::string lossDetail(const std::string&) const override { return pa_strerror(lostError_.load()); }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool corked_ = false;          // under the mainloop lock
    bool opened_ = false;          // under the mainloop lock
    std::optional<ThreadId> loopThread_;  // under the mainloop lock
    std::atomic<int> lostError_{PA_OK};
};

PulseAudioOut::~PulseAudioOut()
{
    if (loop_) {
        {
            Lock lock(loop_);
            if (stream_)
                pa_stream_disconnect(stream_);
            if (context_)
                pa_context_disconnect(context_);
        }
        pa_threaded_mainloop_stop(loop_);
    }
    if (stream_)
        pa_stream_unref(stream_);
    if (context_)
        pa_context_unref(context_);
    if (loop_)
        pa_threaded_mainloop_free(loop_);
}

bool PulseAudioOut::open(std::string* why)
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) {
        *why = "cannot create a PulseAudio main loop";
        return false;
    }
    pa_threaded_mainloop_set_name(loop_, "plinkora-audio");
    if (!connectContext(why))
        return false;
    askRealtime();
    return connectStream(why);
}

// The stream will be answered on the main loop's thread: that thread renders,
// from its first request on.
void PulseAudioOut::askRealtime()
{
    Lock lock(loop_);
    pa_mainloop_api_once(pa_threaded_mainloop_get_api(loop_), &PulseAudioOut::onLoopThread, this);
    while (!loopThread_ && pa_context_get_state(context_) == PA_CONTEXT_READY)
        pa_threaded_mainloop_wait(loop_);
    if (loopThread_)
        makeRealtime(*loopThread_);
}

void PulseAudioOut::onLoopThread(pa_mainloop_api*, void* self)
{
    auto* out = static_cast<PulseAudioOut*>(self);
    out->loopThread_ = currentThreadId();
    pa_threaded_mainloop_signal(out->loop_, 0);
}

bool PulseAudioOut::connectContext(std::string* why)
{
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Plinkora");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.plinkora.Plinkora");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.plinkora.Plinkora");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Plinkora", properties);
    pa_proplist_free(properties);
    if (!context_) {
        *why = "cannot create a PulseAudio context";
        return false;
    }
    pa_context_set_state_callback(context_, &PulseAudioOut::onContextState, this);
    Lock lock(loop_);
    // No autospawn: a desktop without a sound server gets ALSA, not a daemon
    // of ours that outlives the piano.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 || pa_threaded_mainloop_start(loop_) < 0) {
        *why = "cannot connect to PulseAudio: " + error();
        return false;
    }
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY)
            return true;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            *why = "cannot connect to PulseAudio: " + error();
            return false;
        }
        pa_threaded_mainloop_wait(loop_);
    }
}

pa_buffer_attr PulseAudioOut::bufferAttr(int frames) const
{
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = bytesOf(frames);
    attr.prebuf = static_cast<std::uint32_t>(-1);  // start once the target is there
    attr.minreq = bytesOf(pump_.options().requestFrames);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
}

bool PulseAudioOut::connectStream(std::string* why)
{
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(pump_.options().sampleRate), kChannels};
    Lock lock(loop_);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    stream_ = pa_stream_new_with_proplist(context_, "Piano", &format, nullptr, properties);
    pa_proplist_free(properties);
    if (!stream_) {
        *why = "cannot create a PulseAudio stream: " + error();
        return false;
    }
    pa_stream_set_state_callback(stream_, &PulseAudioOut::onStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseAudioOut::onWrite, this);
    pa_stream_set_underflow_callback(stream_, &PulseAudioOut::onUnderflow, this);
    const pa_buffer_attr attr = bufferAttr(buffer_.frames());
    if (pa_stream_connect_playback(stream_, nullptr, &attr, kStreamFlags, nullptr, nullptr) < 0) {
        *why = "cannot open a PulseAudio stream: " + error();
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY)
            break;
        if (!PA_STREAM_IS_GOOD(state)) {
            *why = "cannot open a PulseAudio stream: " + error();
            return false;
        }
        pa_threaded_mainloop_wait(loop_);
    }
    opened_ = true;
    reportBuffer(buffer_.frames());
    return true;
}

void PulseAudioOut::onContextState(pa_context* context, void* self)
{
    auto* out = static_cast<PulseAudioOut*>(self);
    if (pa_context_get_state(context) == PA_CONTEXT_FAILED)
        out->connectionLost();
    pa_threaded_mainloop_signal(out->loop_, 0);
}

// The server ends a stream whose sink went with nothing to move it to.
void PulseAudioOut::onStreamState(pa_stream* stream, void* self)
{
    auto* out = static_cast<PulseAudioOut*>(self);
    if (pa_stream_get_state(stream) == PA_STREAM_FAILED)
        out->connectionLost();
    pa_threaded_mainloop_signal(out->loop_, 0);
}

void PulseAudioOut::onWrite(pa_stream*, std::size_t bytes, void* self) { static_cast<PulseAudioOut*>(self)->write(bytes); }

void PulseAudioOut::onUnderflow(pa_stream*, void* self) { static_cast<PulseAudioOut*>(self)->grow(); }

void PulseAudioOut::write(std::size_t bytes)
{
    resize(buffer_.settle(BufferTarget::Clock::now()));
    while (bytes >= bytesOf(kSynthBlockFrames)) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream_, &data, &size) < 0 || data == nullptr)
            return;
        const int frames = wholeBlocks(static_cast<int>(std::min(size, bytes) / kFrameBytes));
        if (frames == 0) {
            pa_stream_cancel_write(stream_);
            return;
        }
        auto* samples = static_cast<float*>(data);
        const bool rest = pump_.pump(samples, samples + 1, kChannels, frames);
        if (pa_stream_write(stream_, data, bytesOf(frames), nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= bytesOf(frames);
        if (rest) {
            // What is queued is silence: drop it, so that the first note
            // after the rest does not wait behind it.
            drop(pa_stream_cork(stream_, 1, nullptr, nullptr));
            drop(pa_stream_flush(stream_, nullptr, nullptr));
            corked_ = true;
            return;
        }
    }
}

void PulseAudioOut::wake()
{
    if (!pump_.wake())
        return;
    Lock lock(loop_);
    if (corked_ && stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
        drop(pa_stream_cork(stream_, 0, nullptr, nullptr));
        corked_ = false;
    }
}

void PulseAudioOut::grow()
{
    // After a rest the queue starts empty by design; only a stream that was
    // playing can run short.
    if (!corked_)
        resize(buffer_.underflow(BufferTarget::Clock::now()));
}

void PulseAudioOut::resize(int frames)
{
    if (frames == 0)
        return;
    const pa_buffer_attr attr = bufferAttr(frames);
    drop(pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr));
    reportBuffer(frames);
}

void PulseAudioOut::connectionLost()
{
    // Failures while opening are the open's to report. The error code goes
    // into words on the thread that reports it: pa_strerror translates.
    if (opened_) {
        lostError_.store(pa_context_errno(context_));
        lose(nullptr);
    }
}

}  // namespace

std::unique_ptr<AudioOutput> openPulseAudio(AudioSource& source, const AudioOptions& options, std::string* why)
{
    auto output = std::make_unique<PulseAudioOut>(source, options);
    if (!output->open(why))
        return nullptr;
    return output;
}

}  // namespace audio
