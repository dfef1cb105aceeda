#pragma once
// The program icon: a glossy green pair of beamed eighth notes.

#include <QImage>
#include <QRectF>

class QPainter;

namespace artgen {

// Paints the icon into box (kept square, centred), on whatever lies beneath.
// pixelSize is the icon's size on the device; it keeps the outline at least
// one device pixel wide when the icon is small.
void paintIcon(QPainter& painter, const QRectF& box, qreal pixelSize);

// The icon alone on a transparent square of size x size pixels (ARGB32).
QImage drawIcon(int size);

}  // namespace artgen
