#pragma once
// MIDI short messages packed as WinMM expects them: status in bits 0-7, first
// data byte in bits 8-15, second data byte in bits 16-23, bits 24-31 zero.

#include <cstddef>
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

// How many bytes the message with this status byte has on a MIDI wire, or 0
// for what is no short message: a data byte, or a system exclusive that a
// 32-bit message cannot hold.
constexpr std::size_t wireLength(std::uint8_t status)
{
    if (status < 0x80 || status == 0xF0 || status == 0xF7 || status == 0xF4 || status == 0xF5)
        return 0;
    if (status >= 0xF8 || status == 0xF6)
        return 1;
    if ((status & 0xE0) == 0xC0 || status == 0xF1 || status == 0xF3)
        return 2;  // program change, channel pressure, time code, song select
    return 3;
}

static_assert(noteOn(60) == 0x00643C90 && noteOff(60) == 0x00003C80);
static_assert(noteOn(127) == 0x00647F90 && noteOff(0) == 0x00000080);
static_assert(programChange(117) == 0x000075C0 && programChange(0) == 0xC0);
static_assert(wireLength(0x90) == 3 && wireLength(0xC0) == 2 && wireLength(0xD5) == 2 && wireLength(0xE0) == 3);
static_assert(wireLength(0) == 0 && wireLength(0xF0) == 0 && wireLength(0xF8) == 1 && wireLength(0xF2) == 3);

}  // namespace midi
