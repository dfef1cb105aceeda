#pragma once
// Every position and size of the window is written in twips (1/1440 inch) and
// turned into Qt's logical pixels here and nowhere else. At 96 dpi a pixel is
// 15 twips; Qt's high-DPI scaling maps logical pixels to the screen.

#include <QPointF>
#include <QRect>

namespace twips {

inline constexpr int kPerPixel = 15;

struct Rect {
    int left;
    int top;
    int width;
    int height;
    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
    constexpr bool contains(int x, int y) const { return x >= left && x < right() && y >= top && y < bottom(); }
};

constexpr int toPixels(int t) { return t / kPerPixel; }
constexpr double toPixelsF(double t) { return t / kPerPixel; }
constexpr int fromPixels(int px) { return px * kPerPixel; }

inline QRect toPixels(const Rect& r)
{
    return QRect(toPixels(r.left), toPixels(r.top), toPixels(r.width), toPixels(r.height));
}
inline QPointF toPixels(double x, double y) { return QPointF(toPixelsF(x), toPixelsF(y)); }

}  // namespace twips
