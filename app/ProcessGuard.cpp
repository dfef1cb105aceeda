#include "ProcessGuard.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <thread>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#define PLINKORA_POSIX_SIGNALS 1
#endif

namespace {

std::atomic<bool> deadlineArmed{false};

#if PLINKORA_POSIX_SIGNALS
int signalPipe[2] = {-1, -1};
std::atomic<int> signalsSeen{0};  // lock-free, so usable in a handler

void onTerminationSignal(int)
{
    // A second signal means the orderly way did not finish: leave at once.
    if (signalsSeen.fetch_add(1) > 0)
        _exit(0);
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
#endif

}  // namespace

ProcessGuard::ProcessGuard(std::function<void()> shutDown, QObject* parent)
    : QObject(parent), shutDown_(std::move(shutDown))
{
#if PLINKORA_POSIX_SIGNALS
    installSignalHandlers();
    if (signalPipe[0] < 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto got = read(signalPipe[0], &byte, 1);
        armExitDeadline();
        shutDown_();
    });
#endif
}

ProcessGuard::~ProcessGuard() = default;

void ProcessGuard::installSignalHandlers()
{
#if PLINKORA_POSIX_SIGNALS
    static const bool installed = installSignalPipe();
    (void)installed;
#endif
}

void ProcessGuard::armExitDeadline(std::chrono::milliseconds limit)
{
    if (deadlineArmed.exchange(true))
        return;
    std::thread([limit] {
        std::this_thread::sleep_for(limit);
        std::_Exit(0);
    }).detach();
}
