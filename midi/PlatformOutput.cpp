// The one place that decides what MIDI output device 0 is where the system
// has no MIDI output of its own: our embedded synthesizer, or a MIDI port of
// ours in a sound server's graph when the command line chose one.

#include "FluidSynthOutput.h"
#include "PortOutput.h"
#include "MidiPort.h"

#include <algorithm>
#include <memory>

namespace midi {

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

void releaseOutput()
{
    device0().synth = nullptr;
    device0().output.reset();
}

std::string chooseOutput(const std::string& choice)
{
    const auto colon = choice.find(':');
    const std::string server = choice.substr(0, colon);
    const std::string target = colon == std::string::npos ? std::string() : choice.substr(colon + 1);
    const std::vector<std::string> servers = midiPortServers();
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
    for (std::string& input : listMidiInputs())
        choices.push_back(std::move(input));
    return choices;
}

}  // namespace midi
