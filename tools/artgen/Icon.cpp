#include "Icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <array>

namespace artgen {
namespace {

// Design space: a 256 x 256 square, y pointing down.
constexpr qreal kDesign = 256;

struct NoteHead {
    QPointF centre;
    QPointF stemTop;  // top-right corner of the stem, on the beam's upper edge
};
constexpr std::array<NoteHead, 2> kNotes{{
    {{68, 198}, {112, 58}},
    {{186, 172}, {230, 28}},
}};
constexpr qreal kHeadRadiusX = 45;
constexpr qreal kHeadRadiusY = 32;
constexpr qreal kHeadTilt = -24;  // degrees
constexpr qreal kStemWidth = 19;
constexpr qreal kBeamThickness = 42;
static_assert(kNotes[0].stemTop.x() < kNotes[1].stemTop.x(), "the beam runs left to right");

const QColor kOutline{10, 70, 24};
const QColor kLight{150, 236, 120};
const QColor kMid{54, 176, 64};
const QColor kDark{14, 104, 36};

QPainterPath headPath(const NoteHead& note)
{
    QPainterPath ellipse;
    ellipse.addEllipse(QPointF(0, 0), kHeadRadiusX, kHeadRadiusY);
    QTransform place;
    place.translate(note.centre.x(), note.centre.y());
    place.rotate(kHeadTilt);
    return place.map(ellipse);
}

QPainterPath notesPath()
{
    QPainterPath shape;
    for (const NoteHead& note : kNotes) {
        shape.addPath(headPath(note));
        const qreal left = note.stemTop.x() - kStemWidth;
        shape.addRect(QRectF(left, note.stemTop.y() + 1, kStemWidth, note.centre.y() - note.stemTop.y()));
    }
    const QPointF left = kNotes[0].stemTop - QPointF(kStemWidth, 0);
    const QPointF right = kNotes[1].stemTop;
    QPolygonF beam;
    beam << left << right << right + QPointF(0, kBeamThickness) << left + QPointF(0, kBeamThickness);
    shape.addPolygon(beam);
    shape.closeSubpath();
    shape.setFillRule(Qt::WindingFill);
    return shape.simplified();
}

// The gloss: light from the upper left, a bright band over the beam and a
// highlight on each head.
void paintGloss(QPainter& painter, const QPainterPath& shape)
{
    painter.save();
    painter.setClipPath(shape);
    painter.setPen(Qt::NoPen);

    QLinearGradient band(0, 20, 0, 110);
    band.setColorAt(0, QColor(255, 255, 255, 210));
    band.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(band);
    painter.drawRect(QRectF(0, 0, kDesign, 70));

    for (const NoteHead& note : kNotes) {
        const QPointF spot = note.centre + QPointF(-14, -12);
        QRadialGradient shine(spot, 26);
        shine.setColorAt(0, QColor(255, 255, 255, 220));
        shine.setColorAt(1, QColor(255, 255, 255, 0));
        painter.setBrush(shine);
        painter.drawEllipse(spot, 30, 20);
    }
    painter.restore();
}

}  // namespace

void paintIcon(QPainter& painter, const QRectF& box, qreal pixelSize)
{
    const qreal side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(side / kDesign, side / kDesign);

    const QPainterPath shape = notesPath();

    QLinearGradient body(40, 30, 210, 240);
    body.setColorAt(0, kLight);
    body.setColorAt(0.45, kMid);
    body.setColorAt(1, kDark);
    painter.fillPath(shape, body);
    paintGloss(painter, shape);

    const qreal outline = std::max(8.0, kDesign / pixelSize);
    painter.strokePath(shape, QPen(kOutline, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.restore();
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintIcon(painter, QRectF(0, 0, size, size), size);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace artgen
