#pragma once
// FluidSynth and the libraries under it (ALSA, libinstpatch through GLib)
// print their own diagnostics. We route them here so that a failure becomes our single "no sound" line instead
// of a burst of library messages. It lives with the audio outputs, the lowest
// layer that uses FluidSynth (its ALSA driver), and serves the synthesizer too.

#include <string>

namespace audio::fluidlog {

// Installs the routing once; later calls do nothing.
void install();

// Where errors go that no Capture collects: they mean the sound stopped
// while playing. Unset, they are dropped.
void setUncapturedErrorSink(void (*sink)(const std::string& error));

// While a Capture lives, error and warning messages are collected for the
// caller to explain a failure with.
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

}  // namespace audio::fluidlog
