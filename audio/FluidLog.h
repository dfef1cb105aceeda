#pragma once
// FluidSynth and the libraries under it (ALSA, libinstpatch through GLib)
// print their own diagnostics. We route them here so that a failure becomes our single "no sound" line instead
// of a burst of library messages. It lives with the audio outputs, the lowest
// layer that uses FluidSynth (its ALSA driver), and serves the synthesizer too.

#include <optional>
#include <string>

namespace audio::fluidlog {

// Installs the routing once; later calls do nothing.
void install();

// The first error logged on a thread without a Capture since the last call:
// such errors mean the sound stopped while playing. Kept without a lock or an
// allocation, since audio threads log too; taken by the thread that plays,
// which reports it.
std::optional<std::string> takeUncapturedError();

// While a Capture lives, the error and warning messages logged on its own
// thread are collected for the caller to explain a failure with. Another
// thread's messages (an audio thread's) are not its business.
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // The most recent error, else the most recent warning, else "".
    std::string lastMessage() const;
    // Whether an error (not just a warning) was logged during the capture.
    bool sawError() const { return !lastError_.empty(); }

    // The log routing, on the thread that logged: hands the message to that
    // thread's captures; false when it has none.
    static bool collect(bool isError, const char* text);

private:
    Capture* outer_;
    std::string lastError_;
    std::string lastWarning_;
};

}  // namespace audio::fluidlog
