#pragma once
// The MIDI voice: the one object through which the piano makes sound. It keeps
// no state flags and guards nothing; each member clamps its argument, updates
// its fields and hands the stored handle to the platform, whatever it holds.

#include "MidiOut.h"

#include <cstdint>
#include <optional>

class sMidi {
public:
    explicit sMidi(midi::OutputPort& port = midi::platformOutput());
    sMidi(const sMidi&) = delete;
    sMidi& operator=(const sMidi&) = delete;

    void sType(std::int16_t New_Data);
    std::int16_t sType() const;

    std::int32_t MidOpen();
    void MidStop();
    void MidClose();
    void outNum(std::int16_t sNum);

    static std::int16_t clamp(std::int16_t value);

private:
    midi::OutputPort& port_;

    std::int32_t midResult = 0;
    midi::Handle midHandle = 0;
    std::optional<std::int16_t> offMsg;
    std::int16_t curType = 0;
};
