// plinkora-port-reopen SERVER:TARGET COUNT
// Device 0 as a MIDI port linked to TARGET, opened, played and closed COUNT
// times in a row, as COUNT runs of the program that each play one key would:
// the listener must hear "c0 00", "90 3c 64", "80 3c 00" every time.

#include "midi/MidiOut.h"
#include "midi/sMidi.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: plinkora-port-reopen SERVER:TARGET COUNT\n", stderr);
        return 2;
    }
    if (const std::string why = midi::chooseOutput(argv[1]); !why.empty()) {
        std::fprintf(stderr, "plinkora-port-reopen: %s\n", why.c_str());
        return 2;
    }
    for (int i = std::atoi(argv[2]); i > 0; --i) {
        sMidi voice;
        if (voice.MidOpen() != 0)
            return 1;
        voice.outNum(60);
        voice.MidStop();
        voice.MidClose();
    }
    return 0;
}
