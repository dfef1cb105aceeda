// A stand-in for RealtimeKit on a private bus, for tst_audio_outputs. It says
// "ready" once it serves, then one line per request it gets:
//   fake_rtkit serve BUS MAX-PRIORITY RTTIME-MAX accept|deny
//     owns org.freedesktop.RealtimeKit1 on BUS, answers its properties, and
//     for each MakeThreadRealtime prints "accepted|denied PID TID PRIORITY
//     RTTIME" (the caller, the thread, the priority asked and the caller's
//     hard RLIMIT_RTTIME at that moment, -1 for none) and grants or refuses it
//     (AccessDenied, as RealtimeKit does when polkit says no). It changes no
//     scheduling. Run as root, it first becomes nobody, as a service should.
//   fake_rtkit silent SOCKET
//     a bus that takes connections and never says a word: prints "accepted"
//     for each and "closed" when the client hangs up.

#include <dbus/dbus.h>
#include <pwd.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr const char* kRtkit = "org.freedesktop.RealtimeKit1";

struct Limits {
    std::int32_t maxPriority;
    std::int64_t rttimeMax;
    bool accept;
};

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fake_rtkit: %s\n", what);
    std::exit(1);
}

void dropToNobody()
{
    if (geteuid() != 0)
        return;
    const passwd* nobody = getpwnam("nobody");
    if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
        fail("cannot become nobody");
}

// The hard RLIMIT_RTTIME of process `pid`, as RealtimeKit checks it.
long long rttimeHardLimit(std::uint32_t pid)
{
    std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
    for (std::string line; std::getline(limits, line);) {
        if (line.rfind("Max realtime timeout", 0) != 0)
            continue;
        char soft[32] = "";
        char hard[32] = "";
        if (std::sscanf(line.c_str() + std::strlen("Max realtime timeout"), "%31s %31s", soft, hard) == 2)
            return std::strcmp(hard, "unlimited") == 0 ? -1 : std::atoll(hard);
    }
    return -1;
}

std::uint32_t callerPid(DBusConnection* bus, const char* sender)
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

DBusMessage* property(DBusMessage* call, const Limits& limits)
{
    const char* interface = nullptr;
    const char* name = nullptr;
    if (!dbus_message_get_args(call, nullptr, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
        return dbus_message_new_error(call, DBUS_ERROR_INVALID_ARGS, "two strings");
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter top;
    DBusMessageIter variant;
    dbus_message_iter_init_append(reply, &top);
    if (std::strcmp(name, "RTTimeUSecMax") == 0) {
        dbus_int64_t value = limits.rttimeMax;
        dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, DBUS_TYPE_INT64_AS_STRING, &variant);
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_INT64, &value);
    } else {
        dbus_int32_t value = std::strcmp(name, "MaxRealtimePriority") == 0 ? limits.maxPriority : -11;
        dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, DBUS_TYPE_INT32_AS_STRING, &variant);
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_INT32, &value);
    }
    dbus_message_iter_close_container(&top, &variant);
    return reply;
}

DBusMessage* makeThreadRealtime(DBusConnection* bus, DBusMessage* call, const Limits& limits)
{
    dbus_uint64_t thread = 0;
    dbus_uint32_t priority = 0;
    if (!dbus_message_get_args(call, nullptr, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &priority, DBUS_TYPE_INVALID))
        return dbus_message_new_error(call, DBUS_ERROR_INVALID_ARGS, "a thread and a priority");
    const std::uint32_t pid = callerPid(bus, dbus_message_get_sender(call));
    std::printf("%s %u %llu %u %lld\n", limits.accept ? "accepted" : "denied", pid,
                static_cast<unsigned long long>(thread), priority, rttimeHardLimit(pid));
    std::fflush(stdout);
    return limits.accept ? dbus_message_new_method_return(call)
                         : dbus_message_new_error(call, DBUS_ERROR_ACCESS_DENIED, "not allowed");
}

DBusMessage* answer(DBusConnection* bus, DBusMessage* call, const Limits& limits)
{
    if (dbus_message_is_method_call(call, DBUS_INTERFACE_PROPERTIES, "Get"))
        return property(call, limits);
    if (dbus_message_is_method_call(call, kRtkit, "MakeThreadRealtime"))
        return makeThreadRealtime(bus, call, limits);
    return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, "not faked");
}

int serve(const char* address, const Limits& limits)
{
    dropToNobody();
    DBusConnection* bus = dbus_connection_open_private(address, nullptr);
    if (!bus || !dbus_bus_register(bus, nullptr))
        fail("cannot connect to the bus");
    if (dbus_bus_request_name(bus, kRtkit, DBUS_NAME_FLAG_DO_NOT_QUEUE, nullptr) != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER)
        fail("cannot own the name");
    std::puts("ready");
    std::fflush(stdout);
    while (dbus_connection_read_write(bus, -1)) {
        while (DBusMessage* message = dbus_connection_pop_message(bus)) {
            if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
                DBusMessage* reply = answer(bus, message, limits);
                dbus_connection_send(bus, reply, nullptr);
                dbus_message_unref(reply);
            }
            dbus_message_unref(message);
        }
    }
    return 0;
}

int silent(const char* path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path)
        fail("socket path too long");
    std::strcpy(address.sun_path, path);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 4) != 0)
        fail("cannot listen");
    std::puts("ready");
    std::fflush(stdout);
    for (;;) {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            fail("cannot accept");
        std::puts("accepted");
        std::fflush(stdout);
        char buffer[256];
        while (read(client, buffer, sizeof buffer) > 0) {
        }
        close(client);
        std::puts("closed");
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc == 6 && std::strcmp(argv[1], "serve") == 0)
        return serve(argv[2], {std::atoi(argv[3]), std::atoll(argv[4]), std::strcmp(argv[5], "accept") == 0});
    if (argc == 3 && std::strcmp(argv[1], "silent") == 0)
        return silent(argv[2]);
    std::fprintf(stderr, "usage: fake_rtkit serve BUS MAX-PRIORITY RTTIME-MAX accept|deny | silent SOCKET\n");
    return 2;
}
