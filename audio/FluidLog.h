#pragma once
// FluidSynth and the libraries under it (ALSA, libinstpatch through GLib)
// print their own diagnostics. We route them here so that a failure becomes our single "no sound" line instead
// of a burst of library messages.

#include <string>

namespace midi::fluidlog {

// Installs the routing once; later calls do nothing.
void install();

// While a Capture lives, error and warning messages are collected for the
// caller to explain a failure with. Outside a capture, errors mean the sound
// stopped while playing and are reported as the "no sound" line.
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // The most recent error, else the most recent warning, else "".
    std::string lastMessage() const;
    // Whether an error (not just a warning) was logged during the capture.
    bool sawError() const;

    // Called by the log routing, under its lock.
    void note(bool isError, const std::string& text);

private:
    std::string lastError_;
    std::string lastWarning_;
};

}  // namespace midi::fluidlog
