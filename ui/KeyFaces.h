#pragma once
// The text on the 36 key faces: the computer key that plays each key, and on
// the white keys the scale degree in numbered notation with its octave dot.
// Drawn once, while the window loads; the keys keep it in their images.

#include "KeyTable.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class PictureBox;

namespace keyfaces {

struct Point {
    int x;  // twips, in the key's own coordinates
    int y;
    constexpr bool operator==(const Point&) const = default;
};

// Pure blue in 0xBBGGRR.
inline constexpr std::uint32_t kNotationColour = 0xFF0000;
inline constexpr Point kDigitAt{60, 2100};
inline constexpr Point kDotBelowAt{150, 2190};
inline constexpr Point kDotAboveAt{150, 1890};

constexpr Point legendPosition(int k)
{
    const char c = keys::legend(k);
    if (!keys::isBlack(k)) {
        switch (c) {
        case 'W': return {90, 2460};
        case ';': case '[': case ']': return {135, 2445};
        case '"': return {120, 2520};
        default: return {120, 2460};
        }
    }
    switch (c) {
    case ',': return {150, 1275};
    case '.': return {150, 1305};
    case '2': case '/': case '8': case '9': case '0': return {120, 1320};
    default: return {105, 1320};
    }
}

constexpr std::optional<Point> dotPosition(int k)
{
    switch (keys::octaveDot(k)) {
    case keys::OctaveDot::Below: return kDotBelowAt;
    case keys::OctaveDot::Above: return kDotAboveAt;
    default: return std::nullopt;
    }
}

// The order the faces are drawn in: the middle octave's white keys upwards
// from C4, the low octave's downwards from B3, the high octave's upwards from
// C5, then the black keys upwards.
inline constexpr std::array<int, keys::kCount> kDrawOrder = {
    12, 14, 16, 17, 19, 21, 23,
    11, 9, 7, 5, 4, 2, 0,
    24, 26, 28, 29, 31, 33, 35,
    1, 3, 6, 8, 10, 13, 15, 18, 20, 22, 25, 27, 30, 32, 34,
};

namespace detail {
constexpr bool drawsEveryKeyOnce()
{
    std::array<int, keys::kCount> seen{};
    for (int k : kDrawOrder)
        if (!keys::isValid(k) || seen[static_cast<std::size_t>(k)]++ != 0)
            return false;
    return true;
}
constexpr bool whitesBeforeBlacks()
{
    for (int i = 0; i < keys::kCount; ++i)
        if (keys::isBlack(kDrawOrder[static_cast<std::size_t>(i)]) != (i >= keys::kWhiteCount))
            return false;
    return true;
}
}  // namespace detail

static_assert(detail::drawsEveryKeyOnce());
static_assert(detail::whitesBeforeBlacks());
static_assert(legendPosition(12) == Point{120, 2460} && legendPosition(2) == Point{90, 2460});
static_assert(legendPosition(24) == Point{120, 2520} && legendPosition(25) == Point{150, 1305});

// Draws one key's face.
void draw(PictureBox& key, int k);

// Draws all faces in order, looking each key up as it goes; a failed lookup
// or drawing step throws and stops the drawing there.
void drawAll(const std::function<PictureBox&(int)>& keyAt);

}  // namespace keyfaces
