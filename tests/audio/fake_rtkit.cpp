// A stand-in for RealtimeKit on the system bus (DBUS_SYSTEM_BUS_ADDRESS), for
// tst_audio_outputs. Run as root, it first becomes nobody, as a service should.
//   fake_rtkit MAX-PRIORITY RTTIME-MAX accept|deny
// It owns org.freedesktop.RealtimeKit1, says "ready", answers the properties,
// and for each MakeThreadRealtime prints "accepted|denied PID TID PRIORITY
// RTTIME" (the caller, the thread and the priority asked, and the caller's
// hard RLIMIT_RTTIME at that moment, -1 for none) and grants it or refuses it
// with AccessDenied, as RealtimeKit does when polkit says no. It changes no
// scheduling.

#include <dbus/dbus.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr const char* kRtkit = "org.freedesktop.RealtimeKit1";

struct Service {
    dbus_int32_t maxPriority;
    dbus_int64_t rttimeMax;
    bool accept;
};

bool dropToNobody()
{
    const passwd* nobody = getpwnam("nobody");
    return geteuid() != 0
        || (nobody && setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0);
}

long long rttimeHardLimit(dbus_uint32_t pid)
{
    std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
    const std::string name = "Max realtime timeout";
    for (std::string line; std::getline(limits, line);) {
        char soft[32] = "";
        char hard[32] = "";
        if (line.rfind(name, 0) == 0 && std::sscanf(line.c_str() + name.size(), "%31s %31s", soft, hard) == 2)
            return std::strcmp(hard, "unlimited") == 0 ? -1 : std::atoll(hard);
    }
    return -1;
}

dbus_uint32_t callerPid(DBusConnection* bus, const char* sender)
{
    DBusMessage* request = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                                        "GetConnectionUnixProcessID");
    dbus_message_append_args(request, DBUS_TYPE_STRING, &sender, DBUS_TYPE_INVALID);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, request, 5000, nullptr);
    dbus_message_unref(request);
    dbus_uint32_t pid = 0;
    if (reply) {
        dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &pid, DBUS_TYPE_INVALID);
        dbus_message_unref(reply);
    }
    return pid;
}

DBusMessage* property(DBusMessage* call, const Service& service)
{
    const char* interface = nullptr;
    const char* name = nullptr;
    dbus_message_get_args(call, nullptr, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    const bool rttime = name && std::strcmp(name, "RTTimeUSecMax") == 0;
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter top;
    DBusMessageIter variant;
    dbus_message_iter_init_append(reply, &top);
    dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, rttime ? "x" : "i", &variant);
    if (rttime)
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_INT64, &service.rttimeMax);
    else
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_INT32, &service.maxPriority);
    dbus_message_iter_close_container(&top, &variant);
    return reply;
}

DBusMessage* makeThreadRealtime(DBusConnection* bus, DBusMessage* call, const Service& service)
{
    dbus_uint64_t thread = 0;
    dbus_uint32_t priority = 0;
    dbus_message_get_args(call, nullptr, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &priority, DBUS_TYPE_INVALID);
    const dbus_uint32_t pid = callerPid(bus, dbus_message_get_sender(call));
    std::printf("%s %u %llu %u %lld\n", service.accept ? "accepted" : "denied", pid,
                static_cast<unsigned long long>(thread), priority, rttimeHardLimit(pid));
    std::fflush(stdout);
    return service.accept ? dbus_message_new_method_return(call)
                          : dbus_message_new_error(call, DBUS_ERROR_ACCESS_DENIED, "not allowed");
}

DBusMessage* answer(DBusConnection* bus, DBusMessage* call, const Service& service)
{
    if (dbus_message_is_method_call(call, DBUS_INTERFACE_PROPERTIES, "Get"))
        return property(call, service);
    if (dbus_message_is_method_call(call, kRtkit, "MakeThreadRealtime"))
        return makeThreadRealtime(bus, call, service);
    return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, "not faked");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: fake_rtkit MAX-PRIORITY RTTIME-MAX accept|deny\n");
        return 2;
    }
    const Service service{std::atoi(argv[1]), std::atoll(argv[2]), std::strcmp(argv[3], "accept") == 0};
    DBusConnection* bus = dropToNobody() ? dbus_bus_get_private(DBUS_BUS_SYSTEM, nullptr) : nullptr;
    if (!bus || dbus_bus_request_name(bus, kRtkit, DBUS_NAME_FLAG_DO_NOT_QUEUE, nullptr) != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fprintf(stderr, "fake_rtkit: cannot serve on the system bus\n");
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (dbus_connection_read_write(bus, -1)) {
        while (DBusMessage* message = dbus_connection_pop_message(bus)) {
            if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
                DBusMessage* reply = answer(bus, message, service);
                dbus_connection_send(bus, reply, nullptr);
                dbus_message_unref(reply);
            }
            dbus_message_unref(message);
        }
    }
    return 0;
}
