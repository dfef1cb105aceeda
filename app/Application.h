#pragma once
// The application object. A run-time error that escapes an event handler ends
// the program here: the error is shown in a message box, written to stderr,
// and the program exits with a non-zero status.

#include <QApplication>

#include <functional>
#include <string>

inline constexpr int kRuntimeErrorExitCode = 1;

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error (the message box is replaceable for tests), writes it to
    // stderr and makes the event loop end with kRuntimeErrorExitCode. Only the
    // first error of a run is reported.
    static void runtimeError(const std::string& description);
    using ErrorPresenter = std::function<void(const QString& text)>;
    static void setErrorPresenter(ErrorPresenter presenter);
};
