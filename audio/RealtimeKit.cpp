#include "RealtimeKit.h"

#include <dbus/dbus.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace audio {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kRtkit = "org.freedesktop.RealtimeKit1";
constexpr const char* kRtkitPath = "/org/freedesktop/RealtimeKit1";
// libdbus's own default, where the environment names no system bus.
constexpr const char* kSystemBus = "unix:path=/var/run/dbus/system_bus_socket";

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

// Everything said on the bus ends by then.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds limit) : end_(Clock::now() + limit) {}
    // Whole milliseconds left; 0 once the time is up.
    int leftMs() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

private:
    Clock::time_point end_;
};

// The method's reply, or nothing for an error, a refusal or no answer in time.
Message call(DBusConnection* bus, Message request, const Deadline& deadline)
{
    const int left = deadline.leftMs();
    if (!request || left == 0)
        return nullptr;
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, request.get(), left, &error);
    dbus_error_free(&error);
    return Message(reply);
}

const char* systemBusAddress()
{
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address && *address ? address : kSystemBus;
}

// What dbus_bus_get_private does, within the deadline: it waits without limit
// for the bus to take us in, and a bus that accepts the connection and never
// answers would hold the thread for good.
Bus connect(const Deadline& deadline)
{
    DBusError error;
    dbus_error_init(&error);
    Bus bus(dbus_connection_open_private(systemBusAddress(), &error));
    dbus_error_free(&error);
    if (!bus)
        return nullptr;
    dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
    while (!dbus_connection_get_is_authenticated(bus.get())) {
        const int left = deadline.leftMs();
        if (left == 0 || !dbus_connection_read_write(bus.get(), left))
            return nullptr;
    }
    if (!call(bus.get(), Message(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello")),
              deadline))
        return nullptr;
    return bus;
}

// A RealtimeKit property: an integer inside a variant.
bool property(DBusConnection* bus, const char* name, const Deadline& deadline, std::int64_t* value)
{
    Message request(dbus_message_new_method_call(kRtkit, kRtkitPath, DBUS_INTERFACE_PROPERTIES, "Get"));
    if (!request)
        return false;
    const char* interface = kRtkit;
    dbus_message_append_args(request.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    const Message reply = call(bus, std::move(request), deadline);
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
bool limitRealtimeCpu(DBusConnection* bus, const Deadline& deadline)
{
    std::int64_t maxMicroseconds = 0;
    if (!property(bus, "RTTimeUSecMax", deadline, &maxMicroseconds) || maxMicroseconds <= 0)
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

}  // namespace

bool askRealtimeKit(pid_t thread, int priority, std::chrono::milliseconds limit)
{
    const Deadline deadline(limit);
    const Bus bus = connect(deadline);
    std::int64_t maxPriority = 0;
    if (!bus || !property(bus.get(), "MaxRealtimePriority", deadline, &maxPriority) || maxPriority <= 0
        || !limitRealtimeCpu(bus.get(), deadline))
        return false;
    Message request(dbus_message_new_method_call(kRtkit, kRtkitPath, kRtkit, "MakeThreadRealtime"));
    if (!request)
        return false;
    dbus_uint64_t id = static_cast<dbus_uint64_t>(thread);
    dbus_uint32_t granted = static_cast<dbus_uint32_t>(std::min<std::int64_t>(priority, maxPriority));
    dbus_message_append_args(request.get(), DBUS_TYPE_UINT64, &id, DBUS_TYPE_UINT32, &granted, DBUS_TYPE_INVALID);
    return call(bus.get(), std::move(request), deadline) != nullptr;
}

}  // namespace audio
