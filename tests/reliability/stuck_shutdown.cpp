// A process whose orderly shut-down never finishes, for tst_ways_out: it says
// "ready", and on the first termination signal says "stuck" and blocks the
// event loop for good. Arguments: the exit deadline in seconds to arm at
// start, or "default" to leave the one the signal arms; then "error" to
// report a run-time error first.

#include "app/ProcessGuard.h"
#include "ui/RuntimeError.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && std::strcmp(argv[2], "error") == 0) {
        setRuntimeErrorPresenter([](const QString&) {});
        reportRuntimeError("a run-time error before the shut-down");
    }
    if (argc > 1 && std::strcmp(argv[1], "default") != 0)
        ProcessGuard::armExitDeadline(std::chrono::seconds(std::atoi(argv[1])));
    ProcessGuard guard([] {
        std::puts("stuck");
        std::fflush(stdout);
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    });
    QTimer::singleShot(0, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    return app.exec();
}
