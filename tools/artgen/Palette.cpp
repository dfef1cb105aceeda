#include "Palette.h"

#include <QList>
#include <QMap>

#include <algorithm>
#include <limits>

namespace artgen {
namespace {

constexpr int kColours = 256;

// Colours are gathered in buckets of 5 bits per channel; the most common
// buckets, each at its average colour, form the palette. An icon of at most
// 32 x 32 pixels has few enough colours that this loses next to nothing.
int bucketOf(QRgb c) { return (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3; }

struct Bucket {
    qint64 red = 0, green = 0, blue = 0;
    int count = 0;
    QRgb average() const { return qRgb(red / count, green / count, blue / count); }
};

bool isOpaque(QRgb c) { return qAlpha(c) >= kOpaqueAlpha; }

QList<QRgb> buildPalette(const QImage& image)
{
    QMap<int, Bucket> buckets;  // ordered, so that equal counts rank the same on every run
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (!isOpaque(c))
                continue;
            Bucket& b = buckets[bucketOf(c)];
            b.red += qRed(c);
            b.green += qGreen(c);
            b.blue += qBlue(c);
            ++b.count;
        }
    }
    QList<Bucket> ranked = buckets.values();
    std::stable_sort(ranked.begin(), ranked.end(), [](const Bucket& a, const Bucket& b) { return a.count > b.count; });

    QList<QRgb> palette{qRgb(0, 0, 0)};  // index 0: under the mask
    for (const Bucket& b : ranked) {
        if (palette.size() == kColours)
            break;
        palette.append(b.average());
    }
    while (palette.size() < kColours)
        palette.append(qRgb(0, 0, 0));
    return palette;
}

int distance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

uchar nearest(const QList<QRgb>& palette, QRgb c)
{
    int best = 1, bestDistance = std::numeric_limits<int>::max();
    for (int i = 1; i < palette.size(); ++i) {
        const int d = distance(palette[i], c);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return static_cast<uchar>(best);
}

}  // namespace

QImage toIndexed8(const QImage& argb)
{
    const QImage source = argb.convertToFormat(QImage::Format_ARGB32);
    const QList<QRgb> palette = buildPalette(source);
    QImage indexed(source.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < source.height(); ++y) {
        uchar* line = indexed.scanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            const QRgb c = source.pixel(x, y);
            line[x] = isOpaque(c) ? nearest(palette, c) : 0;
        }
    }
    return indexed;
}

}  // namespace artgen
