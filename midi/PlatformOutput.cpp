// The one place that decides what MIDI output device 0 is: the system's own
// MIDI output on Windows; everywhere else our embedded synthesizer, or a MIDI
// port of ours on PipeWire or JACK when the command line chose one.

#if defined(_WIN32)
#include "WinMmOutput.h"
#else
#include "FluidSynthOutput.h"
#include "PortOutput.h"
#include "audio/MidiPort.h"

#include <algorithm>
#include <memory>
#endif

namespace midi {

#if defined(_WIN32)

namespace {
WinMmOutput& backend()
{
    static WinMmOutput output;
    return output;
}
}  // namespace

OutputPort& platformOutput() { return backend(); }

void prepareOutput() { backend().prepare(); }

std::string chooseOutput(const std::string&) { return "device 0 is the system's MIDI output here"; }

std::vector<std::string> outputChoices() { return {}; }

#else

namespace {

constexpr const char* kSynth = "synth";

// Made on the first use, from the choice made before it.
struct Device0 {
    std::string server;  // empty: the synthesizer
    std::string target;
    std::unique_ptr<OutputPort> output;
    FluidSynthOutput* synth = nullptr;
};

Device0& device0()
{
    static Device0 device;
    return device;
}

OutputPort& made()
{
    Device0& device = device0();
    if (!device.output) {
        if (device.server.empty()) {
            auto synth = std::make_unique<FluidSynthOutput>();
            device.synth = synth.get();
            device.output = std::move(synth);
        } else {
            device.output = std::make_unique<PortOutput>(device.server, device.target);
        }
    }
    return *device.output;
}

}  // namespace

OutputPort& platformOutput() { return made(); }

void prepareOutput()
{
    made();
    // Only the synthesizer has anything to load; a port opens quickly.
    if (FluidSynthOutput* synth = device0().synth)
        synth->prepare();
}

std::string chooseOutput(const std::string& choice)
{
    const auto colon = choice.find(':');
    const std::string server = choice.substr(0, colon);
    const std::string target = colon == std::string::npos ? std::string() : choice.substr(colon + 1);
    const std::vector<std::string> servers = audio::midiPortServers();
    const bool synth = server == kSynth && colon == std::string::npos;
    if (!synth && std::find(servers.begin(), servers.end(), server) == servers.end())
        return "unknown MIDI output '" + choice + "'";
    if (colon != std::string::npos && target.empty())
        return "no target after '" + server + ":'";
    device0().server = synth ? std::string() : server;
    device0().target = target;
    return {};
}

std::vector<std::string> outputChoices()
{
    std::vector<std::string> choices{kSynth};
    for (std::string& input : audio::listMidiInputs())
        choices.push_back(std::move(input));
    return choices;
}

#endif

}  // namespace midi
