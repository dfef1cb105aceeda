#pragma once
// The 36 piano keys, C3 to B5: the one description of the keys that the
// window, the keyboard map and the face drawing share. Everything but the
// computer key and its legend follows from the key index.

#include <array>
#include <cstdint>
#include <optional>

namespace keys {

inline constexpr int kCount = 36;
inline constexpr int kFirstNote = 48;  // C3
inline constexpr int kWhiteCount = 21;
inline constexpr int kBlackCount = 15;

enum class Octave { Low, Middle, High };
enum class OctaveDot { None, Below, Above };

struct ComputerKey {
    std::uint16_t virtualKey;  // Windows virtual-key code
    char legend;               // the one character printed on the key face
};

// By key index. Letters and digits use their upper-case character code; the
// punctuation keys use Windows' VK_OEM codes, identified by position on the
// US layout (the quote key carries a double quotation mark as its legend).
inline constexpr std::array<ComputerKey, kCount> kComputerKeys = {{
    {81, 'Q'}, {49, '1'}, {87, 'W'}, {50, '2'}, {69, 'E'}, {82, 'R'},
    {90, 'Z'}, {65, 'A'}, {88, 'X'}, {83, 'S'}, {67, 'C'}, {68, 'D'},
    {70, 'F'}, {86, 'V'}, {71, 'G'}, {66, 'B'}, {72, 'H'}, {74, 'J'},
    {78, 'N'}, {75, 'K'}, {77, 'M'}, {76, 'L'}, {188, ','}, {186, ';'},
    {222, '"'}, {190, '.'}, {85, 'U'}, {191, '/'}, {73, 'I'}, {79, 'O'},
    {56, '8'}, {80, 'P'}, {57, '9'}, {219, '['}, {48, '0'}, {221, ']'},
}};

constexpr bool isValid(int k) { return k >= 0 && k < kCount; }
constexpr int note(int k) { return kFirstNote + k; }

constexpr bool isBlack(int k)
{
    switch (note(k) % 12) {
    case 1: case 3: case 6: case 8: case 10: return true;
    default: return false;
    }
}

constexpr Octave octave(int k) { return k < 12 ? Octave::Low : k < 24 ? Octave::Middle : Octave::High; }

// Scale degree in numbered notation on C (1 to 7); 0 for black keys.
constexpr int notationDigit(int k)
{
    constexpr std::array<int, 12> degree = {1, 0, 2, 0, 3, 4, 0, 5, 0, 6, 0, 7};
    return degree[static_cast<std::size_t>(k % 12)];
}

constexpr OctaveDot octaveDot(int k)
{
    if (isBlack(k))
        return OctaveDot::None;
    switch (octave(k)) {
    case Octave::Low: return OctaveDot::Below;
    case Octave::High: return OctaveDot::Above;
    default: return OctaveDot::None;
    }
}

constexpr char legend(int k) { return kComputerKeys[static_cast<std::size_t>(k)].legend; }
constexpr std::uint16_t virtualKey(int k) { return kComputerKeys[static_cast<std::size_t>(k)].virtualKey; }

// Counting white keys from the left (0 to 20); for a black key, that of the
// white key to its left.
constexpr int whitePosition(int k)
{
    int position = -1;
    for (int i = 0; i <= k; ++i)
        position += isBlack(i) ? 0 : 1;
    return position;
}

constexpr std::optional<int> keyIndexOfVirtualKey(int virtualKeyCode)
{
    for (int k = 0; k < kCount; ++k)
        if (virtualKey(k) == virtualKeyCode)
            return k;
    return std::nullopt;
}

namespace detail {
constexpr int countBlack()
{
    int n = 0;
    for (int k = 0; k < kCount; ++k)
        n += isBlack(k) ? 1 : 0;
    return n;
}
constexpr bool computerKeysDistinct()
{
    for (int a = 0; a < kCount; ++a)
        for (int b = a + 1; b < kCount; ++b)
            if (virtualKey(a) == virtualKey(b) || legend(a) == legend(b))
                return false;
    return true;
}
constexpr bool digitsOnWhiteKeysOnly()
{
    for (int k = 0; k < kCount; ++k)
        if ((notationDigit(k) == 0) != isBlack(k))
            return false;
    return true;
}
}  // namespace detail

static_assert(kComputerKeys.size() == kCount);
static_assert(note(0) == 48 && note(kCount - 1) == 83);
static_assert(detail::countBlack() == kBlackCount && kCount - kBlackCount == kWhiteCount);
static_assert(detail::computerKeysDistinct(), "no computer key may play two piano keys");
static_assert(detail::digitsOnWhiteKeysOnly());
static_assert(whitePosition(kCount - 1) == kWhiteCount - 1);
static_assert(keyIndexOfVirtualKey(70) == 12 && notationDigit(12) == 1, "F plays middle C");

}  // namespace keys
