#pragma once
// The window's design in twips: window, banner, key panel, quit button and the
// 36 keys. Fixed data; nothing moves at run time.

#include "KeyTable.h"
#include "Twips.h"

#include <array>

namespace layout {

inline constexpr twips::Rect kWindow{0, 0, 8565, 3960};            // 571 x 264 px, frameless
inline constexpr twips::Rect kBanner{0, 0, 8625, 1095};            // 575 x 73 px picture
inline constexpr twips::Rect kPanel{0, 1080, 8685, 2925};          // overhangs right and bottom
inline constexpr twips::Rect kQuitButton{9600, 4920, 1095, 495};   // outside the window on purpose

// Inside the key panel.
inline constexpr int kKeyTop = 30;
inline constexpr int kMargin = 30;
inline constexpr int kWhitePitch = 405;
inline constexpr int kWhiteWidth = 375;
inline constexpr int kWhiteHeight = 2775;
inline constexpr int kBlackWidth = 390;
inline constexpr int kBlackHeight = 1815;
inline constexpr int kBlackOffset = 180;  // a black key starts this far left of the next white pitch

constexpr twips::Rect keyRect(int k)
{
    const int w = keys::whitePosition(k);
    if (keys::isBlack(k))
        return {kWhitePitch * (w + 1) - kBlackOffset, kKeyTop, kBlackWidth, kBlackHeight};
    return {kMargin + kWhitePitch * w, kKeyTop, kWhiteWidth, kWhiteHeight};
}

// Siblings in the key panel from front to back: every black key before every white one.
inline constexpr std::array<int, keys::kCount> kFrontToBack = {
    34, 32, 30, 27, 25, 22, 20, 18, 15, 13, 10, 8, 6, 3, 1,
    35, 33, 31, 29, 28, 26, 24, 23, 21, 19, 17, 16, 14, 12, 11, 9, 7, 5, 4, 2, 0,
};

static_assert(keyRect(0).left == 30 && keyRect(1).left == 225 && keyRect(34).left == 7920);
static_assert(keyRect(35).right() == 8505 && keyRect(35).bottom() == 2805, "last white key ends where designed");
static_assert(kPanel.top + keyRect(0).bottom() <= kWindow.height, "keys lie inside the window");
static_assert(kQuitButton.left >= kWindow.width && kQuitButton.top >= kWindow.height, "the quit button is never seen");

}  // namespace layout
