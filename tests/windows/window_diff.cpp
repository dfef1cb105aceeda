// plinkora-window-diff: the Windows program's window as the X server shows it
// under Wine, held to what the Linux build draws.
//   plinkora-window-diff [--text-offset N] WINDOW.ppm BANNER.jpg PANEL.png [DIFF.png]
// - The banner against the banner picture, and the key panel without its
//   printed text against the panel's reference picture: by tst_keyfaces'
//   rule (PixelDiff.h).
// - The text of each key, once the Windows text is moved up by N rows (the
//   platforms take the font's ascent from different tables): Windows and
//   FreeType rasterise the same font differently (monochrome glyphs from the
//   outlines as they are, at 14 pixels, against hinted grey anti-aliasing), so
//   glyphs cannot match pixel for pixel. Instead each key's ink of each
//   colour (the blue notation, the legend) spans the same box to within a
//   pixel on every side, starting on the same row but in a few, and traces the
//   same shapes: all but a few ink pixels of each picture lie within a pixel
//   of the other's (a stem may be a pixel narrower, an edge a pixel further).
// - The semicolon reads as one in both: below its dot, a part taller than the
//   dot (the dot and its tail), where a colon has a second dot like the first.
// Prints what differs, by key; DIFF.png shows the differing pixels in red.
// Exit 0: the same window; 1: not; 2: bad input.

#include "tests/ui/PixelDiff.h"
#include "ui/KeyTable.h"
#include "ui/Layout.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace {

constexpr std::size_t kStrayPixels = 3;  // per key and colour
constexpr int kRowsOff = 2;                // texts starting a row off, of all keys

struct Less {
    bool operator()(QPoint a, QPoint b) const { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); }
};
using Points = std::set<QPoint, Less>;
using Ink = std::map<int, Points>;  // by key

// The key that shows at a window pixel (at its centre), or -1.
int keyAt(QPoint pixel)
{
    const int x = twips::fromPixels(pixel.x()) + twips::kPerPixel / 2 - layout::kPanel.left;
    const int y = twips::fromPixels(pixel.y()) + twips::kPerPixel / 2 - layout::kPanel.top;
    for (const int k : layout::kFrontToBack)
        if (layout::keyRect(k).contains(x, y))
            return k;
    return -1;
}

QPoint keyOrigin(int k) { return twips::toPixels(layout::keyRect(k)).topLeft() + twips::toPixels(layout::kPanel).topLeft(); }

// Blue, or blue's anti-aliased edge on a grey key: the notation's colour.
bool isBluish(QColor c) { return c.blue() - std::max(c.red(), c.green()) > 40; }

// The pixels off each key's face colour (taken at its top-left pixel, above
// any text), by colour: [0] the legend, [1] the notation. `origin` is the
// picture's pixel for window pixel (0, 0); the ink is moved up `up` rows.
void collectInk(const QImage& image, QPoint origin, QRect area, int up, Ink ink[2])
{
    std::map<int, QColor> face;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const int k = keyAt({x, y});
            const QColor c = image.pixelColor(QPoint(x, y) + origin);
            if (k >= 0 && !face.emplace(k, c).second && pixeldiff::differ(c, face[k]))
                ink[isBluish(c) ? 1 : 0][k].insert({x, y - up});
        }
}

Points grown(const Points& points)
{
    Points result;
    for (const QPoint& p : points)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                result.insert(p + QPoint(dx, dy));
    return result;
}

QRect bounds(const Points& points)
{
    QRect box;
    for (const QPoint& p : points)
        box = box.united(QRect(p, QSize(1, 1)));
    return box;
}

// Same box to within a pixel, same shapes but for a few pixels; counts a first
// row that is a row off.
bool sameText(int k, const char* what, const Points& linux, const Points& windows, Points& stray, int& rowsOff)
{
    const QRect a = bounds(linux), b = bounds(windows);
    rowsOff += a.top() != b.top();
    const bool sameBox = a.isNull() == b.isNull() && std::abs(a.top() - b.top()) <= 1 && std::abs(a.left() - b.left()) <= 1
                         && std::abs(a.right() - b.right()) <= 1 && std::abs(a.bottom() - b.bottom()) <= 1;
    if (!sameBox) {
        auto where = [k](QRect r) {
            return r.isNull() ? QStringLiteral("none")
                              : QStringLiteral("%1x%2 at (%3,%4)").arg(r.width()).arg(r.height())
                                    .arg(r.x() - keyOrigin(k).x()).arg(r.y() - keyOrigin(k).y());
        };
        std::printf("  key %c, %s: ink %s of the key, Linux's %s\n", keys::legend(k), what, qPrintable(where(b)),
                    qPrintable(where(a)));
    }
    std::size_t far = 0;
    for (const auto& [one, other] : {std::pair{&linux, &windows}, std::pair{&windows, &linux}}) {
        const Points near = grown(*other);
        for (const QPoint& p : *one)
            if (!near.count(p))
                ++far, stray.insert(p);
    }
    if (far > kStrayPixels)
        std::printf("  key %c, %s: %zu pixels further than a pixel from the other's\n", keys::legend(k), what, far);
    return sameBox && far <= kStrayPixels;
}

// Runs of inked rows, top to bottom: below its dot a semicolon's is taller
// (the dot and its tail), where a colon's second dot is like the first.
bool readsAsSemicolon(const char* picture, const Points& ink)
{
    std::vector<int> runs;
    for (auto p = ink.begin(); p != ink.end(); ++p)
        if (p == ink.begin() || p->y() > std::prev(p)->y() + 1)
            runs.push_back(1);
        else if (p->y() != std::prev(p)->y())
            ++runs.back();
    const bool semicolon = runs.size() == 2 && runs[1] > runs[0];
    if (!semicolon)
        std::printf("  key ;, %s: reads as a colon\n", picture);
    return semicolon;
}

bool keepsToRule(const char* name, std::size_t differing, QRect area)
{
    const int limit = pixeldiff::allowed(area.size());
    std::printf("%s: %zu of %d pixels differ (at most %d may)\n", name, differing, area.width() * area.height(), limit);
    return differing <= static_cast<std::size_t>(limit);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);  // for Qt's JPEG plugin
    int textOffset = 0;
    if (argc > 2 && std::strcmp(argv[1], "--text-offset") == 0) {
        textOffset = std::atoi(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: plinkora-window-diff [--text-offset N] WINDOW.ppm BANNER.jpg PANEL.png [DIFF.png]\n");
        return 2;
    }
    const QImage shot(argv[1]), banner(argv[2]), panel(argv[3]);
    const QRect window = twips::toPixels(layout::kWindow);
    const QRect panelArea = twips::toPixels(layout::kPanel).intersected(window);
    QRect bannerArea = twips::toPixels(layout::kBanner).intersected(window);
    bannerArea.setBottom(panelArea.top() - 1);  // the panel lies in front of the banner
    if (shot.size() != window.size() || !banner.rect().contains(bannerArea)
        || !panel.rect().contains(panelArea.translated(-panelArea.topLeft()))) {
        std::fprintf(stderr, "plinkora-window-diff: unreadable pictures or not the window's sizes\n");
        return 2;
    }

    const auto bannerDiffers = pixeldiff::differences(shot, bannerArea, banner);
    Points marked(bannerDiffers.begin(), bannerDiffers.end());
    bool same = keepsToRule("banner", bannerDiffers.size(), bannerArea);

    Ink linux[2], windows[2];
    collectInk(panel, -panelArea.topLeft(), panelArea, 0, linux);
    collectInk(shot, {}, panelArea, textOffset, windows);
    Points text;  // where either picture has text, as drawn
    bool textSame = true;
    int rowsOff = 0;
    for (int colour : {0, 1})
        for (int k = 0; k < keys::kCount; ++k) {
            const Points& a = linux[colour][k];
            const Points& b = windows[colour][k];
            for (const QPoint& p : grown(a))
                text.insert(p);
            for (const QPoint& p : grown(b))
                text.insert(p + QPoint(0, textOffset));
            textSame = sameText(k, colour ? "notation" : "legend", a, b, marked, rowsOff) && textSame;
        }
    if (rowsOff > kRowsOff) {
        std::printf("  %d texts start a row off (at most %d may)\n", rowsOff, kRowsOff);
        textSame = false;
    }
    for (int k = 0; k < keys::kCount; ++k)
        if (keys::legend(k) == ';')
            textSame = readsAsSemicolon("Linux", linux[0][k]) && readsAsSemicolon("Windows", windows[0][k]) && textSame;
    std::printf("key text, Windows' moved up %d rows: %s\n", textOffset, textSame ? "the same" : "not the same");

    std::size_t restDiffers = 0;
    for (const QPoint& p : pixeldiff::differences(shot, panelArea, panel))
        if (!text.count(p))
            ++restDiffers, marked.insert(p);
    same = keepsToRule("key panel without the text", restDiffers, panelArea) && textSame && same;

    if (argc > 4) {
        QImage picture = shot.convertToFormat(QImage::Format_RGB32);
        QPainter(&picture).fillRect(picture.rect(), QColor(255, 255, 255, 160));
        for (const QPoint& p : marked)
            picture.setPixelColor(p, Qt::red);
        picture.save(argv[4]);
    }
    return same ? 0 : 1;
}
