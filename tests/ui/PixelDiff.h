#pragma once
// When two drawings of the window count as the same picture: the rule that
// tst_keyfaces holds the key panel to against its reference, and the Windows
// tests hold the window under Wine to.

#include <QImage>
#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace pixeldiff {

// Anti-aliasing and JPEG decoding vary a little between builds; a stroke that
// is there in one and missing in the other differs by far more.
inline constexpr int kChannelTolerance = 48;

inline bool differ(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())})
           > kChannelTolerance;
}

// At most one pixel in 500 of an area may differ.
inline int allowed(QSize area) { return area.width() * area.height() / 500; }

// The points of `area` (in a's coordinates) where a differs from b, whose
// pixel for a's `area.topLeft()` is b's `bOrigin`.
inline std::vector<QPoint> differences(const QImage& a, QRect area, const QImage& b, QPoint bOrigin = {})
{
    std::vector<QPoint> points;
    const QPoint shift = bOrigin - area.topLeft();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (differ(a.pixelColor(x, y), b.pixelColor(QPoint(x, y) + shift)))
                points.emplace_back(x, y);
    return points;
}

}  // namespace pixeldiff
