#pragma once
// What each Windows virtual-key code does: 36 codes play a piano key, F1-F12
// choose an instrument, every other code does nothing.

#include "KeyTable.h"

#include <array>
#include <cstdint>

namespace keymap {

enum class Kind : std::uint8_t { None, PlayKey, SetProgram };

struct Action {
    Kind kind = Kind::None;
    std::int16_t value = 0;  // key index for PlayKey, MIDI program for SetProgram
    constexpr bool operator==(const Action&) const = default;
};

inline constexpr int kF1 = 112;
inline constexpr int kF12 = 123;

// General MIDI programs of F1 to F12: piano, glockenspiel, steel guitar,
// acoustic bass, music box, marimba, xylophone, tubular bells, dulcimer,
// harpsichord, clavinet, melodic tom.
inline constexpr std::array<std::int16_t, 12> kFunctionKeyPrograms = {0, 9, 25, 32, 10, 12, 13, 14, 15, 6, 7, 117};

namespace detail {
constexpr std::array<Action, 256> buildTable()
{
    std::array<Action, 256> table{};
    for (int k = 0; k < keys::kCount; ++k)
        table[keys::virtualKey(k)] = {Kind::PlayKey, static_cast<std::int16_t>(k)};
    for (int f = 0; f < 12; ++f)
        table[static_cast<std::size_t>(kF1 + f)] = {Kind::SetProgram, kFunctionKeyPrograms[static_cast<std::size_t>(f)]};
    return table;
}
inline constexpr std::array<Action, 256> kTable = buildTable();

constexpr int countKind(Kind kind)
{
    int n = 0;
    for (const Action& a : kTable)
        n += a.kind == kind ? 1 : 0;
    return n;
}
}  // namespace detail

constexpr Action actionFor(int virtualKey)
{
    if (virtualKey < 0 || virtualKey >= static_cast<int>(detail::kTable.size()))
        return {};
    return detail::kTable[static_cast<std::size_t>(virtualKey)];
}

static_assert(detail::countKind(Kind::PlayKey) == keys::kCount, "function keys and piano keys never share a code");
static_assert(detail::countKind(Kind::SetProgram) == 12);
static_assert(actionFor(70) == Action{Kind::PlayKey, 12} && actionFor(123) == Action{Kind::SetProgram, 117});
static_assert(actionFor(84).kind == Kind::None && actionFor(27).kind == Kind::None && actionFor(97).kind == Kind::None);

}  // namespace keymap
