// bench-midi reference pipewire|jack COUNT
//   The ruler of the MIDI port benchmark: the program's own port
//   (midi/MidiPort.h), linked to the listener (plinkora-midi-listen, built
//   here as bench-midi-listen), sent COUNT note-ons on channel 16 at random
//   moments 0.1 to 0.15 s apart, each stamped just before it is queued
//   ("SENT" lines). Without the window and the X server in the way, what it
//   measures is the port's wait for the next cycle: between 0 and one cycle,
//   half a cycle in the median, whatever the phase.

#include "Clock.h"
#include "midi/MidiPort.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

int reference(const std::string& server, int count)
{
    std::string why;
    midi::PortFault fault{};
    auto port = midi::openMidiPort({server, "midi-listen:input"}, &why, &fault);
    if (!port) {
        std::fprintf(stderr, "bench-midi: %s\n", why.c_str());
        return 1;
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> pause(0.1, 0.15);
    for (int i = 0; i < count; ++i) {
        bench::sleepUntilWall(bench::wallSeconds() + pause(random));
        const std::uint8_t message[3] = {0x9F, static_cast<std::uint8_t>(i % 128), 100};
        const double sent = bench::wallSeconds();
        port->send(message, 3);
        std::printf("SENT %.6f\n", sent);
    }
    bench::sleepUntilWall(bench::wallSeconds() + 0.3);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 3 ? argv[1] : "";
    if (mode == "reference")
        return reference(argv[2], std::atoi(argv[3]));
    std::fputs("usage: bench-midi reference pipewire|jack COUNT\n", stderr);
    return 2;
}
