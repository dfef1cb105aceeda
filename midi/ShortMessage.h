#pragma once
// MIDI short messages packed as WinMM expects them: status in bits 0-7, first
// data byte in bits 8-15, second data byte in bits 16-23, bits 24-31 zero.

#include <cstdint>

namespace midi {

inline constexpr std::uint32_t kNoteOnVelocity = 100;

constexpr std::uint32_t pack(std::uint32_t status, std::uint32_t data1, std::uint32_t data2 = 0)
{
    return (status & 0xFF) | ((data1 & 0x7F) << 8) | ((data2 & 0x7F) << 16);
}

constexpr std::uint32_t programChange(std::uint32_t program) { return pack(0xC0, program); }
constexpr std::uint32_t noteOn(std::uint32_t note) { return pack(0x90, note, kNoteOnVelocity); }
constexpr std::uint32_t noteOff(std::uint32_t note) { return pack(0x80, note); }

struct Unpacked {
    std::uint8_t status;
    std::uint8_t data1;
    std::uint8_t data2;
};

constexpr Unpacked unpack(std::uint32_t message)
{
    return {static_cast<std::uint8_t>(message & 0xFF), static_cast<std::uint8_t>((message >> 8) & 0xFF),
            static_cast<std::uint8_t>((message >> 16) & 0xFF)};
}

static_assert(noteOn(60) == 0x00643C90 && noteOff(60) == 0x00003C80);
static_assert(noteOn(127) == 0x00647F90 && noteOff(0) == 0x00000080);
static_assert(programChange(117) == 0x000075C0 && programChange(0) == 0xC0);

}  // namespace midi
