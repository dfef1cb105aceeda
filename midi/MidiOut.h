#pragma once
// The MIDI output platform layer: the three operations the voice needs, and
// nothing more. Every backend speaks WinMM's status vocabulary so that callers
// see one meaning for a status on every platform.

#include <cstdint>
#include <string>
#include <vector>

namespace midi {

// Opaque and pointer-sized: a 64-bit platform handle must survive a round trip
// through the voice's handle field.
using Handle = std::uintptr_t;
using Status = std::uint32_t;

namespace status {
inline constexpr Status ok = 0;             // MMSYSERR_NOERROR
inline constexpr Status error = 1;          // MMSYSERR_ERROR
inline constexpr Status badDeviceId = 2;    // MMSYSERR_BADDEVICEID
inline constexpr Status notEnabled = 3;     // MMSYSERR_NOTENABLED
inline constexpr Status allocated = 4;      // MMSYSERR_ALLOCATED
inline constexpr Status invalidHandle = 5;  // MMSYSERR_INVALHANDLE
inline constexpr Status noDriver = 6;       // MMSYSERR_NODRIVER
inline constexpr Status noMemory = 7;       // MMSYSERR_NOMEM
inline constexpr Status invalidParam = 11;  // MMSYSERR_INVALPARAM
inline constexpr Status notReady = 67;      // MIDIERR_NOTREADY
}  // namespace status

class OutputPort {
public:
    virtual ~OutputPort() = default;

    // Opens output device `deviceId` and writes the new handle into *handle.
    // On failure *handle is set to 0 and the status is non-zero.
    virtual Status open(Handle* handle, std::uint32_t deviceId) = 0;
    // Sends one short message. Handle 0, a closed handle or any value a failed
    // open left behind fails with a status and does no harm.
    virtual Status sendShort(Handle handle, std::uint32_t message) = 0;
    // Closes a handle; unknown or already closed handles fail harmlessly.
    virtual Status close(Handle handle) = 0;

protected:
    OutputPort() = default;
    OutputPort(const OutputPort&) = delete;
    OutputPort& operator=(const OutputPort&) = delete;
};

// The platform's own MIDI output, as chooseOutput() made it: WinMM on
// Windows; elsewhere by default the embedded synthesizer. Lives until the
// program ends.
OutputPort& platformOutput();

// Chooses what device 0 is, before the first use of platformOutput(). On
// Windows: one of the system's MIDI output devices, by its number or by a
// part of its name (the first device whose name contains it, in any case).
// Elsewhere: "synth" (the embedded synthesizer), or a server that
// midiPortServers() names (a MIDI port of ours that other programs
// listen to), either followed by ":TARGET" to link the port to the first MIDI
// input whose name contains TARGET. An empty answer when taken, else why not.
std::string chooseOutput(const std::string& choice);

// What device 0 can be, one line each, for the user to read. On Windows the
// system's MIDI output devices ("0: name"), device 0 first; elsewhere the
// forms chooseOutput() takes: "synth", then the MIDI inputs found on the
// running servers.
std::vector<std::string> outputChoices();

// Lets the platform's output get ready in the background (the embedded
// synthesizer loads its SoundFont) while the program starts; the first open
// waits for that work and reports exactly as it would have done it itself.
void prepareOutput();

// Ends the platform's output before main returns, however it returns: waits
// for a preparation still under way and closes what is open, audio threads
// first. Left to static destruction, that would run after main, in no order
// with the rest of the program's statics.
void releaseOutput();

}  // namespace midi
