#include "sMidi.h"

#include "ShortMessage.h"

sMidi::sMidi(midi::OutputPort& port) : port_(port) {}

std::int16_t sMidi::clamp(std::int16_t value)
{
    if (value < 0)
        value = 0;
    if (value > 127)
        value = 127;
    return value;
}

void sMidi::sType(std::int16_t New_Data)
{
    New_Data = clamp(New_Data);
    curType = New_Data;
    port_.sendShort(midHandle, midi::programChange(static_cast<std::uint32_t>(New_Data)));
}

std::int16_t sMidi::sType() const { return curType; }

std::int32_t sMidi::MidOpen()
{
    port_.close(midHandle);
    midResult = static_cast<std::int32_t>(port_.open(&midHandle, 0));
    if (midResult != 0)
        port_.close(midHandle);
    port_.sendShort(midHandle, midi::programChange(0));
    return midResult;
}

void sMidi::MidStop()
{
    // An empty offMsg reads as 0: before the first note the platform is handed 0.
    port_.sendShort(midHandle, static_cast<std::uint32_t>(offMsg.value_or(0)));
}

void sMidi::MidClose() { port_.close(midHandle); }

void sMidi::outNum(std::int16_t sNum)
{
    sNum = clamp(sNum);
    const auto note = static_cast<std::uint32_t>(sNum);
    offMsg = static_cast<std::int16_t>(midi::noteOff(note));
    port_.sendShort(midHandle, midi::noteOn(note));
}
