#include "ProcessGuard.h"

#include "TerminationSignals.h"
#include "ui/RuntimeError.h"

#include <QSocketNotifier>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {
std::atomic<bool> deadlineArmed{false};
}  // namespace

ProcessGuard::ProcessGuard(std::function<void()> shutDown, QObject* parent)
    : QObject(parent), shutDown_(std::move(shutDown))
{
    installSignalHandlers();
    if (terminationsignals::descriptor() < 0)
        return;
    notifier_ = new QSocketNotifier(terminationsignals::descriptor(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        terminationsignals::acknowledge();
        armExitDeadline();
        shutDown_();
    });
}

ProcessGuard::~ProcessGuard() = default;

void ProcessGuard::installSignalHandlers() { terminationsignals::install(); }

void ProcessGuard::armExitDeadline(std::chrono::milliseconds limit)
{
    if (deadlineArmed.exchange(true))
        return;
    std::thread([limit] {
        std::this_thread::sleep_for(limit);
        std::_Exit(exitStatusSoFar());
    }).detach();
}
