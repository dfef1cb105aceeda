#include "PipeWireClient.h"

#include "AudioPump.h"
#include "PipeWireRealtime.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace audio {

namespace {

// A daemon that accepted us but does not answer is as good as none.
constexpr int kAnswerSeconds = 2;

using Lock = LoopLock<pw_thread_loop, pw_thread_loop_lock, pw_thread_loop_unlock>;

// Where the daemon listens, as libpipewire finds it; empty when only
// libpipewire itself can tell.
std::string daemonSocket()
{
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote && *remote ? remote : "pipewire-0";
    if (name.front() == '/')
        return name;
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"})
        if (const char* dir = std::getenv(variable); dir && *dir)
            return std::string(dir) + "/" + name;
    return {};
}

std::string property(const spa_dict* props, const char* key)
{
    const char* value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? value : "";
}

struct Collected {
    std::vector<PipeWireClient::Port> ports;
    std::map<std::uint32_t, std::string> nodeNames;
};

void onGlobal(void* data, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t, const spa_dict* props)
{
    auto* collected = static_cast<Collected*>(data);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        collected->nodeNames[id] = property(props, PW_KEY_NODE_NAME);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Port) == 0) {
        const bool midiInput = property(props, PW_KEY_PORT_DIRECTION) == "in"
                            && property(props, PW_KEY_FORMAT_DSP) == "8 bit raw midi";
        const auto node = static_cast<std::uint32_t>(std::strtoul(property(props, PW_KEY_NODE_ID).c_str(), nullptr, 10));
        collected->ports.push_back({id, node, {}, property(props, PW_KEY_PORT_NAME), midiInput});
    }
}

}  // namespace

bool pipeWireDaemonSocketExists()
{
    const std::string path = daemonSocket();
    struct stat info {};
    return path.empty() || (stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode));
}

void initialisePipeWire()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pw_init(nullptr, nullptr);
        // libpipewire writes its own warnings to stderr (a client
        // configuration it cannot find, a daemon that went away) while the
        // program says in its one line why it has no sound: the library
        // speaks only when asked to with PIPEWIRE_DEBUG.
        if (const char* debug = std::getenv("PIPEWIRE_DEBUG"); !debug || !*debug)
            pw_log_set_level(SPA_LOG_LEVEL_NONE);
    });
}

PipeWireClient::~PipeWireClient()
{
    if (loop_) {
        {
            Lock lock(loop_);
            if (core_) {
                spa_hook_remove(&coreListener_);
                pw_core_disconnect(core_);
            }
        }
        pw_thread_loop_stop(loop_);
    }
    if (context_)
        pw_context_destroy(context_);
    if (loop_)
        pw_thread_loop_destroy(loop_);
}

bool PipeWireClient::connect(const char* thread, std::string* why)
{
    if (!pipeWireDaemonSocketExists()) {
        *why = "no PipeWire daemon";
        return false;
    }
    initialisePipeWire();
    loop_ = pw_thread_loop_new(thread, nullptr);
    if (!loop_) {
        *why = "cannot create a PipeWire loop";
        return false;
    }
    // The client modules with real-time scheduling.
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                              pw_properties_new(PW_KEY_CONFIG_NAME, realtimeClientConfig(), PW_KEY_APP_NAME, "Plinkora",
                                                PW_KEY_APP_ID, "org.plinkora.Plinkora", PW_KEY_APP_ICON_NAME,
                                                "org.plinkora.Plinkora", nullptr),
                              0);
    if (!context_) {
        *why = std::string("cannot create a PipeWire context: ") + std::strerror(errno);
        return false;
    }
    if (pw_thread_loop_start(loop_) < 0) {
        *why = "cannot start the PipeWire loop";
        return false;
    }
    Lock lock(loop_);
    core_ = pw_context_connect(context_, nullptr, 0);
    if (!core_) {
        *why = std::string("no PipeWire daemon: ") + std::strerror(errno);
        return false;
    }
    coreEvents_.version = PW_VERSION_CORE_EVENTS;
    coreEvents_.done = &PipeWireClient::onDone;
    coreEvents_.error = &PipeWireClient::onError;
    pw_core_add_listener(core_, &coreListener_, &coreEvents_, this);
    return roundtrip(why);
}

bool PipeWireClient::roundtrip(std::string* why)
{
    done_ = false;
    error_.clear();
    pending_ = pw_core_sync(core_, PW_ID_CORE, 0);
    while (!done_ && error_.empty()) {
        if (!wait()) {
            *why = "the PipeWire daemon does not answer";
            return false;
        }
    }
    if (!error_.empty()) {
        *why = "PipeWire: " + error_;
        return false;
    }
    return true;
}

bool PipeWireClient::wait() { return pw_thread_loop_timed_wait(loop_, kAnswerSeconds) == 0; }

void PipeWireClient::onDone(void* self, std::uint32_t id, int seq)
{
    auto* client = static_cast<PipeWireClient*>(self);
    if (id == PW_ID_CORE && seq == client->pending_) {
        client->done_ = true;
        pw_thread_loop_signal(client->loop_, false);
    }
}

void PipeWireClient::onError(void* self, std::uint32_t, int, int res, const char* message)
{
    auto* client = static_cast<PipeWireClient*>(self);
    client->error_ = message && *message ? message : std::strerror(-res);
    pw_thread_loop_signal(client->loop_, false);
}

bool PipeWireClient::ports(std::vector<Port>* ports, std::string* why)
{
    pw_registry* registry = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    if (!registry) {
        *why = "cannot see the PipeWire graph";
        return false;
    }
    Collected collected;
    pw_registry_events events{};
    events.version = PW_VERSION_REGISTRY_EVENTS;
    events.global = onGlobal;
    spa_hook listener{};
    pw_registry_add_listener(registry, &listener, &events, &collected);
    const bool answered = roundtrip(why);
    spa_hook_remove(&listener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
    if (!answered)
        return false;
    for (Port& port : collected.ports)
        port.nodeName = collected.nodeNames[port.node];
    *ports = std::move(collected.ports);
    return true;
}

}  // namespace audio
