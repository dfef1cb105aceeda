#pragma once
// Run-time errors. An error that escapes an event handler ends the program:
// it is shown in a message box, written to stderr, and the event loop ends
// with kRuntimeErrorExitCode.
//
// The toolkit calls the handlers from its own frames, which are not built to
// be unwound through (an exception passing them leaks the event being
// delivered, or worse). So every way in from the toolkit goes through
// runGuarded(), which stops the error at the handler's edge.

#include <QString>

#include <exception>
#include <functional>
#include <string>

inline constexpr int kRuntimeErrorExitCode = 1;

// Shows the error, writes it to stderr and makes the event loop end with
// kRuntimeErrorExitCode. Only the first error of a run is reported: what
// follows from it on the way out is not news.
void reportRuntimeError(const std::string& description);

// The status the program ends with as things stand: kRuntimeErrorExitCode
// once a run-time error was reported, else 0. Safe in a signal handler.
int exitStatusSoFar() noexcept;

// Replaces the message box (tests record what would have been shown).
using RuntimeErrorPresenter = std::function<void(const QString& text)>;
void setRuntimeErrorPresenter(RuntimeErrorPresenter presenter);

// Runs a handler; an error escaping it is reported instead of propagating.
template <typename Handler>
void runGuarded(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& error) {
        reportRuntimeError(error.what());
    } catch (...) {
        reportRuntimeError("Unknown error");
    }
}
