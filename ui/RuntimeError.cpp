#include "RuntimeError.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<bool> reported{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

RuntimeErrorPresenter& presenter()
{
    static RuntimeErrorPresenter instance = [](const QString& text) {
        QMessageBox::critical(nullptr, QStringLiteral("Plinkora"), text);
    };
    return instance;
}

}  // namespace

void reportRuntimeError(const std::string& description)
{
    if (reported.exchange(true))
        return;
    std::fprintf(stderr, "plinkora: run-time error: %s\n", description.c_str());
    std::fflush(stderr);
    try {
        presenter()(QStringLiteral("Run-time error:\n\n%1").arg(QString::fromStdString(description)));
    } catch (...) {
        // The error is on stderr already; a failing message box changes nothing.
    }
    QCoreApplication::exit(kRuntimeErrorExitCode);
}

int exitStatusSoFar() noexcept { return reported.load() ? kRuntimeErrorExitCode : 0; }

void setRuntimeErrorPresenter(RuntimeErrorPresenter newPresenter) { presenter() = std::move(newPresenter); }
