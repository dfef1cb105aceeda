#include "Realtime.h"

#if defined(__linux__)

#if defined(PLINKORA_HAVE_DBUS)
#include <dbus/dbus.h>
#endif
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace audio {

namespace {

pid_t threadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

bool setFifo(pid_t tid, int priority)
{
    sched_param param{};
    param.sched_priority = priority;
    // Reset on fork: a child process must not inherit real-time scheduling.
    return sched_setscheduler(tid, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

#if defined(PLINKORA_HAVE_DBUS)
constexpr const char* kRtkit = "org.freedesktop.RealtimeKit1";
constexpr const char* kRtkitPath = "/org/freedesktop/RealtimeKit1";
// RealtimeKit answers at once or not at all; the audio must not wait for it.
constexpr int kBusTimeoutMs = 100;

struct BusCloser {
    void operator()(DBusConnection* bus) const
    {
        dbus_connection_close(bus);
        dbus_connection_unref(bus);
    }
};
using Bus = std::unique_ptr<DBusConnection, BusCloser>;

struct MessageUnref {
    void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

Message call(DBusConnection* bus, DBusMessage* request)
{
    Message owned(request);
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, request, kBusTimeoutMs, &error);
    dbus_error_free(&error);
    return Message(reply);
}

// A RealtimeKit property: an integer inside a variant.
bool property(DBusConnection* bus, const char* name, std::int64_t* value)
{
    DBusMessage* request = dbus_message_new_method_call(kRtkit, kRtkitPath, "org.freedesktop.DBus.Properties", "Get");
    if (!request)
        return false;
    const char* interface = kRtkit;
    dbus_message_append_args(request, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    const Message reply = call(bus, request);
    DBusMessageIter top;
    DBusMessageIter variant;
    if (!reply || !dbus_message_iter_init(reply.get(), &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_VARIANT)
        return false;
    dbus_message_iter_recurse(&top, &variant);
    switch (dbus_message_iter_get_arg_type(&variant)) {
    case DBUS_TYPE_INT32: {
        dbus_int32_t v = 0;
        dbus_message_iter_get_basic(&variant, &v);
        *value = v;
        return true;
    }
    case DBUS_TYPE_INT64: {
        dbus_int64_t v = 0;
        dbus_message_iter_get_basic(&variant, &v);
        *value = v;
        return true;
    }
    default:
        return false;
    }
}

// RealtimeKit grants real-time only to processes that limit their
// real-time CPU time, so that a runaway thread cannot freeze the desktop.
bool limitRealtimeCpu(DBusConnection* bus)
{
    std::int64_t maxMicroseconds = 0;
    if (!property(bus, "RTTimeUSecMax", &maxMicroseconds) || maxMicroseconds <= 0)
        return false;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0)
        return false;
    const auto wanted = static_cast<rlim_t>(maxMicroseconds);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= wanted && limit.rlim_cur == limit.rlim_max)
        return true;
    limit.rlim_cur = limit.rlim_max = std::min(limit.rlim_max, wanted);
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

bool askRealtimeKit(pid_t tid, int priority)
{
    DBusError error;
    dbus_error_init(&error);
    const Bus bus(dbus_bus_get_private(DBUS_BUS_SYSTEM, &error));
    dbus_error_free(&error);
    if (!bus)
        return false;
    dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
    std::int64_t maxPriority = 0;
    if (!property(bus.get(), "MaxRealtimePriority", &maxPriority) || maxPriority <= 0 || !limitRealtimeCpu(bus.get()))
        return false;
    DBusMessage* request = dbus_message_new_method_call(kRtkit, kRtkitPath, kRtkit, "MakeThreadRealtime");
    if (!request)
        return false;
    dbus_uint64_t thread = static_cast<dbus_uint64_t>(tid);
    dbus_uint32_t granted = static_cast<dbus_uint32_t>(std::min<std::int64_t>(priority, maxPriority));
    dbus_message_append_args(request, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &granted, DBUS_TYPE_INVALID);
    const Message reply = call(bus.get(), request);
    return reply && dbus_message_get_type(reply.get()) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}
#else
bool askRealtimeKit(pid_t, int) { return false; }
#endif

}  // namespace

bool makeThisThreadRealtime(int priority)
{
    const pid_t tid = threadId();
    return setFifo(tid, priority) || askRealtimeKit(tid, priority);
}

}  // namespace audio

#else

namespace audio {
bool makeThisThreadRealtime(int) { return false; }
}  // namespace audio

#endif
