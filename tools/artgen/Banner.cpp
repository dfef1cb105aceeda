#include "Banner.h"

#include "Icon.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <numeric>
#include <vector>

namespace artgen {
namespace {

// The window is 571 pixels wide, so the banner's last 4 columns never show;
// its last row lies behind the key panel.
constexpr qreal kVisibleRight = 571;
constexpr qreal kMargin = 6;
constexpr qreal kTextRight = kVisibleRight - kMargin;
static_assert(kVisibleRight < kBannerSize.width());

const QColor kInk{74, 44, 10};
const QColor kMusic{96, 64, 20, 52};
struct Ink {
    QColor fill;
    QColor outline;
};
const Ink kLegendInk{Qt::white, {40, 22, 4}};
// JPEG keeps colour at half resolution: a dark red outline, of the same hue
// as the letters, keeps the red from bleeding into the background.
const Ink kQuitInk{{255, 44, 36}, {84, 0, 0}};

struct LegendEntry {
    const char* text;
    bool quitNote;
};
constexpr std::array<LegendEntry, 7> kLegendLine1{{
    {"F1 piano", false},
    {"F2 glockenspiel", false},
    {"F3 guitar", false},
    {"F4 bass", false},
    {"F5 music box", false},
    {"F6 marimba", false},
    {"F7 xylophone", false},
}};
constexpr std::array<LegendEntry, 6> kLegendLine2{{
    {"F8 tubular bells", false},
    {"F9 dulcimer", false},
    {"F10 harpsichord", false},
    {"F11 clavinet", false},
    {"F12 drum", false},
    {"Esc: quit", true},
}};
constexpr std::array<qreal, 2> kLegendBaselines{46, 65};
constexpr int kLegendMaxPixels = 13;
constexpr int kLegendStretch = 86;  // per cent: taller letters in the same width
constexpr qreal kLegendMinGap = 9;
constexpr qreal kOutlineRadius = 1;

// Two faint staves; notes sit on them in half-spaces counted up from the bottom line.
struct Staff {
    qreal top;
    qreal spacing;
};
constexpr std::array<Staff, 2> kStaves{{{5, 5}, {37, 6.5}}};
struct Note {
    qreal x;
    int staff;
    int step;
};
constexpr std::array<Note, 12> kNotes{{
    {150, 0, 2}, {172, 0, 4}, {194, 0, 6}, {216, 0, 5}, {262, 0, 3}, {284, 0, 7},
    {306, 0, 4}, {352, 0, 1}, {374, 0, 5}, {396, 0, 8}, {440, 0, 6}, {462, 0, 3},
}};
constexpr std::array<qreal, 4> kBarLines{140, 240, 330, 420};

void paintBackground(QPainter& painter)
{
    const QRectF all(QPointF(0, 0), kBannerSize);
    QLinearGradient paper(0, 0, 0, all.height());
    paper.setColorAt(0, QColor(244, 228, 178));
    paper.setColorAt(0.5, QColor(228, 198, 128));
    paper.setColorAt(1, QColor(206, 166, 86));
    painter.fillRect(all, paper);

    QRadialGradient sheen(QPointF(120, 10), 260);
    sheen.setColorAt(0, QColor(255, 250, 230, 90));
    sheen.setColorAt(1, QColor(255, 250, 230, 0));
    painter.fillRect(all, sheen);
}

qreal lineY(const Staff& staff, int line) { return staff.top + line * staff.spacing; }

qreal noteY(const Staff& staff, int step) { return lineY(staff, 4) - step * staff.spacing / 2; }

void paintNote(QPainter& painter, const Note& note)
{
    const Staff& staff = kStaves[note.staff];
    const QPointF centre(note.x, noteY(staff, note.step));
    const qreal rx = staff.spacing * 0.66, ry = staff.spacing * 0.46;
    painter.save();
    painter.translate(centre);
    painter.rotate(-20);
    painter.drawEllipse(QPointF(0, 0), rx, ry);
    painter.restore();
    // Stems point away from the middle line, as engravers draw them.
    const bool up = note.step < 4;
    const qreal stemX = up ? centre.x() + rx - 0.6 : centre.x() - rx + 0.6;
    const qreal length = 3.4 * staff.spacing;
    painter.fillRect(QRectF(stemX - 0.5, up ? centre.y() - length : centre.y(), 1.0, length), painter.brush());
}

void paintSheetMusic(QPainter& painter)
{
    painter.save();
    painter.setPen(QPen(kMusic, 0.8));
    for (const Staff& staff : kStaves) {
        for (int line = 0; line < 5; ++line)
            painter.drawLine(QPointF(0, lineY(staff, line)), QPointF(kBannerSize.width(), lineY(staff, line)));
    }
    for (const qreal x : kBarLines)
        painter.drawLine(QPointF(x, lineY(kStaves[0], 0)), QPointF(x, lineY(kStaves[0], 4)));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kMusic);
    for (const Note& note : kNotes)
        paintNote(painter, note);
    painter.restore();
}

QFont font(const QString& family, int pixels, bool bold)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void paintTitle(QPainter& painter, const BannerFonts& fonts, int scale)
{
    paintIcon(painter, QRectF(4, 2, 23, 23), 23.0 * scale);

    const QFont title = font(fonts.serif, 21, true);
    painter.setFont(title);
    painter.setPen(QColor(255, 246, 220, 200));
    painter.drawText(QPointF(31, 22 + 1), QStringLiteral("Plinkora"));
    painter.setPen(kInk);
    painter.drawText(QPointF(31, 22), QStringLiteral("Plinkora"));

    const QFont credit = font(fonts.sans, 11, true);
    const QString domain = QStringLiteral("plinkora.org");
    painter.setFont(credit);
    painter.drawText(QPointF(kTextRight - QFontMetricsF(credit).horizontalAdvance(domain), 20), domain);
}

// The outline is the text itself drawn again around its place, one pixel out
// in every direction: that keeps the glyphs hinted and sharp at 100 %.
void paintOutlined(QPainter& painter, const QPointF& baseline, const QString& text, const Ink& ink, int scale)
{
    const qreal step = 1.0 / scale;
    painter.setPen(ink.outline);
    for (qreal dy = -kOutlineRadius; dy <= kOutlineRadius; dy += step) {
        for (qreal dx = -kOutlineRadius; dx <= kOutlineRadius; dx += step) {
            if (dx != 0 || dy != 0)
                painter.drawText(baseline + QPointF(dx, dy), text);
        }
    }
    painter.setPen(ink.fill);
    painter.drawText(baseline, text);
}

template <std::size_t N>
qreal textWidth(const std::array<LegendEntry, N>& line, const QFont& f)
{
    const QFontMetricsF metrics(f);
    return std::accumulate(line.begin(), line.end(), 0.0, [&](qreal sum, const LegendEntry& entry) {
        return sum + metrics.horizontalAdvance(QString::fromLatin1(entry.text));
    });
}

// The largest size at which both lines fit between the margins.
QFont legendFont(const BannerFonts& fonts)
{
    for (int pixels = kLegendMaxPixels;; --pixels) {
        QFont f = font(fonts.sans, pixels, true);
        f.setStretch(kLegendStretch);
        const qreal room = kTextRight - kMargin;
        if (textWidth(kLegendLine1, f) + (kLegendLine1.size() - 1) * kLegendMinGap <= room
            && textWidth(kLegendLine2, f) + (kLegendLine2.size() - 1) * kLegendMinGap <= room)
            return f;
    }
}

// Each line is justified between the margins.
template <std::size_t N>
void paintLegendLine(QPainter& painter, const std::array<LegendEntry, N>& line, qreal baseline, const QFont& f, int scale)
{
    painter.setFont(f);
    const qreal gap = (kTextRight - kMargin - textWidth(line, f)) / (N - 1);
    const QFontMetricsF metrics(f);
    qreal x = kMargin;
    for (const LegendEntry& entry : line) {
        const QString text = QString::fromLatin1(entry.text);
        paintOutlined(painter, QPointF(x, baseline), text, entry.quitNote ? kQuitInk : kLegendInk, scale);
        x += metrics.horizontalAdvance(text) + gap;
    }
}

}  // namespace

QImage drawBanner(int scale, const BannerFonts& fonts)
{
    QImage image(kBannerSize * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);

    paintBackground(painter);
    paintSheetMusic(painter);
    paintTitle(painter, fonts, scale);
    const QFont legend = legendFont(fonts);
    paintLegendLine(painter, kLegendLine1, kLegendBaselines[0], legend, scale);
    paintLegendLine(painter, kLegendLine2, kLegendBaselines[1], legend, scale);
    painter.end();

    image.setDevicePixelRatio(1);
    return image;
}

}  // namespace artgen
