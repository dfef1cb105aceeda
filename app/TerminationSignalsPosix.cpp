#include "TerminationSignals.h"
#include "ui/RuntimeError.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

#include <fcntl.h>
#include <unistd.h>

namespace terminationsignals {

namespace {

int signalPipe[2] = {-1, -1};
std::atomic<int> signalsSeen{0};  // lock-free, so usable in a handler

void onTerminationSignal(int)
{
    // A second signal means the orderly way did not finish: leave at once,
    // with the status the program would have ended with.
    if (signalsSeen.fetch_add(1) > 0)
        _exit(exitStatusSoFar());
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

bool installSignalPipe()
{
    if (pipe(signalPipe) != 0)
        return false;
    for (int fd : signalPipe)
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = &onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    return true;
}

}  // namespace

bool install()
{
    static const bool installed = installSignalPipe();
    return installed;
}

int descriptor() { return signalPipe[0]; }

void acknowledge()
{
    char byte = 0;
    [[maybe_unused]] const auto got = read(signalPipe[0], &byte, 1);
}

}  // namespace terminationsignals
