// plinkora-window-diff: the Windows program's window as the X server shows it
// under Wine, held to what the Linux build draws.
//   plinkora-window-diff [--text-offset N] WINDOW.ppm BANNER.jpg PANEL.png [DIFF.png]
// - The banner against the banner picture, and the key panel without its
//   printed text against the panel's reference picture: by tst_keyfaces'
//   rule (PixelDiff.h).
// - The text of each key, once the Windows text is moved up by N rows (the
//   platforms take the font's ascent from different tables): Windows and
//   FreeType rasterise the same font differently (monochrome hinted glyphs
//   at 14 pixels against grey anti-aliasing), so glyphs cannot match pixel
//   for pixel. Instead, each key's ink of each colour (the blue notation, the
//   legend) starts on the same row and spans the same box to within a pixel,
//   and traces the same shapes: every ink pixel of one picture lies within a
//   pixel of the other's, but for a few (a hinted stem a pixel narrower).
// Prints what differs where, by key; writes the differing pixels in red over
// the window into DIFF.png. Exit 0: the same window; 1: not; 2: bad input.

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
#include <string>
#include <vector>

namespace {

struct Less {
    bool operator()(QPoint a, QPoint b) const { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); }
};
using Points = std::set<QPoint, Less>;

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

// Blue, or blue's anti-aliased edge on a grey key: the notation's colour.
bool isBluish(QColor c) { return c.blue() - std::max(c.red(), c.green()) > 40; }

// A key's printed text in one picture: the pixels off its face colour, by
// colour (0 the legend, 1 the blue notation), in window coordinates.
struct Text {
    std::map<int, Points> ink[2];
};

// `origin` is where the picture's pixel for window pixel (0, 0) is; the
// face colour is taken at the key's top-left visible pixel, above any text.
Text textOf(const QImage& image, QPoint origin, QRect area)
{
    Text text;
    std::map<int, QColor> face;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QPoint p(x, y);
            const int k = keyAt(p);
            if (k < 0)
                continue;
            const QColor c = image.pixelColor(p + origin);
            const auto [it, first] = face.emplace(k, c);
            if (!first && pixeldiff::differ(c, it->second))
                text.ink[isBluish(c) ? 1 : 0][k].insert(p);
        }
    return text;
}

// Pixels of a key's ink that may lie further than a pixel from the other's.
constexpr std::size_t kStraySlack = 3;

Points moved(const Points& points, int down)
{
    Points result;
    for (const QPoint& p : points)
        result.insert(p + QPoint(0, down));
    return result;
}

// Points of `a` with no point of `b` within a pixel.
Points farFrom(const Points& a, const Points& b)
{
    Points far;
    for (const QPoint& p : a) {
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy)
            for (int dx = -1; dx <= 1 && !near; ++dx)
                near = b.count(p + QPoint(dx, dy)) > 0;
        if (!near)
            far.insert(p);
    }
    return far;
}

// Every pixel within a pixel of some point.
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

QPoint keyOrigin(int k)
{
    return twips::toPixels(layout::keyRect(k)).topLeft() + twips::toPixels(layout::kPanel).topLeft();
}

void report(int k, const char* what, const QRect& box)
{
    const QRect local = box.translated(-keyOrigin(k));
    std::printf("  key %c, %s: %dx%d at (%d,%d) of the key\n", keys::legend(k), what, local.width(), local.height(),
                local.x(), local.y());
}

// Same row, same box to within a pixel, same shapes but for a few pixels.
bool sameText(int k, const char* what, const Points& expected, const Points& drawn, Points& marked)
{
    const QRect a = bounds(expected), b = bounds(drawn);
    bool same = true;
    if (a.isNull() != b.isNull() || a.top() != b.top() || std::abs(a.left() - b.left()) > 1
        || std::abs(a.right() - b.right()) > 1 || std::abs(a.bottom() - b.bottom()) > 1) {
        std::printf("  key %c, %s: ink box %dx%d%+d%+d, Linux %dx%d%+d%+d (in the key)\n", keys::legend(k), what,
                    b.width(), b.height(), b.x() - keyOrigin(k).x(), b.y() - keyOrigin(k).y(), a.width(), a.height(),
                    a.x() - keyOrigin(k).x(), a.y() - keyOrigin(k).y());
        same = false;
    }
    const Points missing = farFrom(expected, drawn), extra = farFrom(drawn, expected);
    if (missing.size() + extra.size() > kStraySlack) {
        if (!missing.empty())
            report(k, (std::string(what) + " missing").c_str(), bounds(missing));
        if (!extra.empty())
            report(k, (std::string(what) + " extra").c_str(), bounds(extra));
        same = false;
    }
    marked.insert(missing.begin(), missing.end());
    marked.insert(extra.begin(), extra.end());
    return same;
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
    const QPoint inPanel = -panelArea.topLeft();

    const auto bannerDiffers = pixeldiff::differences(shot, bannerArea, banner);
    bool same = keepsToRule("banner", bannerDiffers.size(), bannerArea);

    // The text as the Linux build prints it, and as Windows does, moved up.
    const Text linux = textOf(panel, inPanel, panelArea);
    const Text windows = textOf(shot, {}, panelArea);
    Points text, marked(bannerDiffers.begin(), bannerDiffers.end()), wrong;
    bool textSame = true;
    for (int colour : {0, 1})
        for (int k = 0; k < keys::kCount; ++k) {
            const Points expected = linux.ink[colour].count(k) ? linux.ink[colour].at(k) : Points{};
            const Points drawn =
                windows.ink[colour].count(k) ? moved(windows.ink[colour].at(k), -textOffset) : Points{};
            for (const Points* ink : {&expected, &drawn})
                for (const QPoint& p : grown(*ink))
                    text.insert(p), text.insert(p + QPoint(0, textOffset));
            textSame = sameText(k, colour ? "notation" : "legend", expected, drawn, wrong) && textSame;
        }
    std::printf("key text, Windows' moved up %d rows: %s\n", textOffset, textSame ? "the same" : "not the same");
    marked.insert(wrong.begin(), wrong.end());
    same = same && textSame;

    std::size_t restDiffers = 0;
    for (const QPoint& p : pixeldiff::differences(shot, panelArea, panel))
        if (!text.count(p))
            ++restDiffers, marked.insert(p);
    same = keepsToRule("key panel without the text", restDiffers, panelArea) && same;

    if (argc > 4) {
        QImage picture = shot.convertToFormat(QImage::Format_RGB32);
        QPainter(&picture).fillRect(picture.rect(), QColor(255, 255, 255, 160));
        for (const QPoint& p : marked)
            picture.setPixelColor(p, Qt::red);
        picture.save(argv[4]);
    }
    return same ? 0 : 1;
}
