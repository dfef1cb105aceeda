#pragma once
// Ends the program in an orderly way when the system asks it to (SIGTERM,
// SIGINT, SIGHUP), and makes sure that no way out can hang: once the window
// starts unloading, the process is gone within a bounded time.

#include <QObject>

#include <chrono>
#include <functional>

class QSocketNotifier;

class ProcessGuard : public QObject {
    Q_OBJECT
public:
    // Catches the termination signals from now on; one that arrives before a
    // guard exists waits for it. Call first thing in main. Idempotent.
    static void installSignalHandlers();

    // `shutDown` runs on the GUI thread when a termination signal arrives.
    explicit ProcessGuard(std::function<void()> shutDown, QObject* parent = nullptr);
    ~ProcessGuard() override;

    // After `limit`, the process exits even if something is stuck, with the
    // status it would have ended with (a run-time error's, else 0).
    static void armExitDeadline(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    std::function<void()> shutDown_;
    QSocketNotifier* notifier_ = nullptr;
};
