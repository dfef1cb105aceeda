#include "PwStream.h"

#include "audio/PipeWireConnect.h"
#include "audio/PipeWireRealtime.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace bench {

namespace {

constexpr int kLinkSeconds = 5;

}  // namespace

std::string framesAtRate(int frames) { return std::to_string(frames) + "/" + std::to_string(kPwRate); }

PwStream::PwStream(std::string name, Process process) : name_(std::move(name)), process_(std::move(process))
{
    pw_init(nullptr, nullptr);
}

PwStream::~PwStream()
{
    if (loop_) {
        pw_thread_loop_lock(loop_);
        if (stream_)
            pw_stream_destroy(stream_);
        if (core_)
            pw_core_disconnect(core_);
        pw_thread_loop_unlock(loop_);
        pw_thread_loop_stop(loop_);
    }
    if (context_)
        pw_context_destroy(context_);
    if (loop_)
        pw_thread_loop_destroy(loop_);
}

bool PwStream::connect(pw_direction direction, pw_properties* properties, std::string* why)
{
    loop_ = pw_thread_loop_new(name_.c_str(), nullptr);
    if (!loop_) {
        pw_properties_free(properties);
        *why = "cannot create a PipeWire loop";
        return false;
    }
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                              pw_properties_new(PW_KEY_CONFIG_NAME, audio::realtimeClientConfig(), nullptr), 0);
    if (!context_ || pw_thread_loop_start(loop_) < 0) {
        pw_properties_free(properties);
        *why = "cannot start a PipeWire context";
        return false;
    }
    pw_thread_loop_lock(loop_);
    core_ = pw_context_connect(context_, nullptr, 0);
    stream_ = core_ ? pw_stream_new(core_, name_.c_str(), properties) : nullptr;
    if (!stream_) {
        if (!core_)
            pw_properties_free(properties);
        pw_thread_loop_unlock(loop_);
        *why = std::string("no PipeWire stream: ") + std::strerror(errno);
        return false;
    }
    events_.version = PW_VERSION_STREAM_EVENTS;
    events_.state_changed = &PwStream::onStateChanged;
    events_.process = &PwStream::onProcess;
    pw_stream_add_listener(stream_, &listener_, &events_, this);

    const int result = audio::connectStereoFloat(stream_, direction, kPwRate);
    if (result < 0)
        *why = std::string("cannot connect a PipeWire stream: ") + std::strerror(-result);
    const bool ok = result == 0 && waitLinked(why);
    pw_thread_loop_unlock(loop_);
    return ok;
}

bool PwStream::waitLinked(std::string* why)
{
    for (;;) {
        const char* error = nullptr;
        switch (pw_stream_get_state(stream_, &error)) {
        case PW_STREAM_STATE_STREAMING:
            return true;
        case PW_STREAM_STATE_ERROR:
        case PW_STREAM_STATE_UNCONNECTED:
            *why = std::string("the PipeWire stream failed: ") + (error ? error : "unconnected");
            return false;
        case PW_STREAM_STATE_CONNECTING:
        case PW_STREAM_STATE_PAUSED:  // not linked yet
            break;
        }
        if (pw_thread_loop_timed_wait(loop_, kLinkSeconds) != 0) {
            *why = "the PipeWire stream was not linked";
            return false;
        }
    }
}

void PwStream::onStateChanged(void* self, pw_stream_state, pw_stream_state, const char*)
{
    pw_thread_loop_signal(static_cast<PwStream*>(self)->loop_, false);
}

void PwStream::onProcess(void* self)
{
    auto* s = static_cast<PwStream*>(self);
    s->process_(s->stream_);
}

}  // namespace bench
