// plinkora-window-diff: the Windows program's window as the X server shows it
// under Wine, held by tst_keyfaces' rule (PixelDiff.h) to what the Linux build
// draws: the banner against the banner picture, the key panel against its
// reference picture. Prints each region's count of differing pixels and, for
// the panel, which keys differ where, so that a failure says what to look at.
//   plinkora-window-diff WINDOW.ppm BANNER.jpg PANEL.png [DIFF.png]
// Exit 0: both regions keep to the rule; 1: not; 2: unreadable or wrong sizes.

#include "tests/ui/PixelDiff.h"
#include "ui/KeyTable.h"
#include "ui/Layout.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <map>

namespace {

// The key that shows at a window pixel (its centre, in twips), or -1.
int keyAt(QPoint pixel)
{
    const int x = twips::fromPixels(pixel.x()) + twips::kPerPixel / 2 - layout::kPanel.left;
    const int y = twips::fromPixels(pixel.y()) + twips::kPerPixel / 2 - layout::kPanel.top;
    for (const int k : layout::kFrontToBack)
        if (layout::keyRect(k).contains(x, y))
            return k;
    return -1;
}

void reportByKey(const std::vector<QPoint>& points)
{
    std::map<int, QRect> boxes;
    std::map<int, int> counts;
    for (const QPoint& p : points) {
        const int k = keyAt(p);
        boxes[k] = boxes[k].united(QRect(p, QSize(1, 1)));
        ++counts[k];
    }
    for (const auto& [k, box] : boxes) {
        const QPoint origin = k < 0 ? QPoint() : twips::toPixels(layout::keyRect(k)).topLeft()
                                                     + twips::toPixels(layout::kPanel).topLeft();
        const QRect local = box.translated(-origin);
        std::printf("  %s%c: %d pixels in %dx%d at (%d,%d) of it\n", k < 0 ? "between the keys" : "key ",
                    k < 0 ? ' ' : keys::legend(k), counts[k], local.width(), local.height(), local.x(), local.y());
    }
}

bool keepsToRule(const char* name, const std::vector<QPoint>& points, QRect area)
{
    const int limit = pixeldiff::allowed(area.size());
    std::printf("%s: %zu of %d pixels differ (at most %d may)\n", name, points.size(), area.width() * area.height(),
                limit);
    return points.size() <= static_cast<std::size_t>(limit);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);  // for Qt's JPEG plugin
    if (argc < 4) {
        std::fprintf(stderr, "usage: plinkora-window-diff WINDOW.ppm BANNER.jpg PANEL.png [DIFF.png]\n");
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
    const auto panelDiffers = pixeldiff::differences(shot, panelArea, panel);
    const bool bannerSame = keepsToRule("banner", bannerDiffers, bannerArea);
    const bool panelSame = keepsToRule("key panel", panelDiffers, panelArea);
    reportByKey(panelDiffers);

    if (argc > 4) {
        QImage marked = shot.convertToFormat(QImage::Format_RGB32);
        QPainter(&marked).fillRect(marked.rect(), QColor(255, 255, 255, 160));
        for (const auto* points : {&bannerDiffers, &panelDiffers})
            for (const QPoint& p : *points)
                marked.setPixelColor(p, Qt::red);
        marked.save(argv[4]);
    }
    return bannerSame && panelSame ? 0 : 1;
}
