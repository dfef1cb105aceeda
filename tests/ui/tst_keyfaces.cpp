// The key faces as a player sees them: pixels of each key's persistent image,
// checked against where each legend, digit and octave dot belongs, and a
// reference picture of the whole key panel.

#include "PianoWindow.h"
#include "ui/KeyFaces.h"
#include "ui/KeyFont.h"
#include "ui/Twips.h"
#include "PixelDiff.h"

#include <QFontMetricsF>

namespace {

struct Box {
    QRectF rect;  // logical pixels, in the key's coordinates
    bool contains(QPointF p) const { return rect.adjusted(-1, -1, 1, 1).contains(p); }
};

// Where printing `text` at `at` may put ink: its character cells.
Box printBox(keyfaces::Point at, const QString& text)
{
    const QFontMetricsF metrics(keyfont::font());
    return {QRectF(twips::toPixels(at.x, at.y), QSizeF(metrics.horizontalAdvance(text), metrics.height()))};
}

bool isBlue(QColor c) { return c.blue() > 150 && c.red() < 110 && c.green() < 110 && c.blue() - c.red() > 80; }

struct Ink {
    QRectF bounds;  // of the matching pixels, in logical pixels
    int count = 0;
    bool outside = false;  // some matching pixel lies outside every allowed box
};

template <typename Match>
Ink inkOf(const QImage& image, Match match, std::initializer_list<Box> allowed)
{
    Ink ink;
    const qreal ratio = image.devicePixelRatio();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (!match(image.pixelColor(x, y)))
                continue;
            const QPointF p(x / ratio, y / ratio);
            ink.bounds = ink.count++ ? ink.bounds.united(QRectF(p, QSizeF(1 / ratio, 1 / ratio)))
                                     : QRectF(p, QSizeF(1 / ratio, 1 / ratio));
            bool inside = false;
            for (const Box& b : allowed)
                inside = inside || b.contains(p);
            ink.outside = ink.outside || !inside;
        }
    return ink;
}

QString referencePath() { return QStringLiteral(PLINKORA_TESTS_DIR "/ui/reference/key-panel-96dpi.png"); }

}  // namespace

class TestKeyFaces : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void facesShowLegendDigitAndDot_data();
    void facesShowLegendDigitAndDot();
    void panelMatchesReference();
    void facesSurviveHidingResizingAndRepaints();
    void imagesAreInDevicePixels();
    void failedDrawingStopsLoadBeforeOpeningTheDevice();

private:
    PianoWindow piano_;
    FrmMain* frm_ = piano_.frm.get();
};

void TestKeyFaces::initTestCase()
{
    QVERIFY(piano_.show());
    qInfo("key font: %s (%s)", qPrintable(QFontInfo(keyfont::font()).family()), qPrintable(keyfont::source()));
}

void TestKeyFaces::facesShowLegendDigitAndDot_data()
{
    QTest::addColumn<int>("key");
    for (int k = 0; k < keys::kCount; ++k)
        QTest::addRow("%d %c", k, keys::legend(k)) << k;
}

void TestKeyFaces::facesShowLegendDigitAndDot()
{
    QFETCH(int, key);
    const PictureBox* face = frm_->PicA(key);
    const QImage& image = face->image();
    const QColor back = face->backColor();
    const QString legend(QLatin1Char(keys::legend(key)));
    const Box legendBox = printBox(keyfaces::legendPosition(key), legend);

    // The legend: dark on white keys, white on black keys, only in its cell.
    const bool black = keys::isBlack(key);
    auto legendInk = [&](QColor c) {
        return !isBlue(c) && (black ? c.lightness() > 90 : c.lightness() < back.lightness() - 90);
    };
    const Ink legendPixels = inkOf(image, legendInk, {legendBox});
    QVERIFY2(legendPixels.count > 0, "legend missing");
    QVERIFY2(!legendPixels.outside, "legend ink outside its cell");

    const Ink blue = inkOf(image, isBlue, {});
    if (keys::isBlack(key)) {
        QCOMPARE(blue.count, 0);
        return;
    }

    // The digit in blue, printed as a number: it begins one blank to the right.
    const QFontMetricsF metrics(keyfont::font());
    const Box digitBox = printBox(keyfaces::kDigitAt, QStringLiteral(" %1").arg(keys::notationDigit(key)));
    const Box below = printBox(keyfaces::kDotBelowAt, QStringLiteral("."));
    const Box above = printBox(keyfaces::kDotAboveAt, QStringLiteral("."));
    const Ink digit = inkOf(image, isBlue, {digitBox});
    QVERIFY2(digit.count > 0, "digit missing");
    const qreal blank = metrics.horizontalAdvance(QLatin1Char(' '));
    QVERIFY(digit.bounds.left() >= digitBox.rect.left() + blank - 0.5);
    QVERIFY(digit.bounds.left() <= digitBox.rect.left() + blank + 3);

    // The octave dot: its cell overlaps the digit's, so tell them apart by
    // height: the digit's ink sits on its baseline, a dot below it in the low
    // octave and above it in the high octave.
    const Box dotBox = keys::octaveDot(key) == keys::OctaveDot::Above ? above : below;
    const Ink all = inkOf(image, isBlue, {digitBox, dotBox});
    QVERIFY2(!all.outside, "blue outside the digit and its octave dot");
    const qreal digitBaseline = digitBox.rect.top() + metrics.ascent();
    const qreal digitTop = digitBaseline - metrics.capHeight() - 1;
    switch (keys::octaveDot(key)) {
    case keys::OctaveDot::None:
        QVERIFY(all.bounds.top() >= digitTop && all.bounds.bottom() <= digitBaseline + 1.5);
        break;
    case keys::OctaveDot::Below:
        QVERIFY2(all.bounds.bottom() > digitBaseline + 1.5, "no dot below the digit");
        QVERIFY(all.bounds.bottom() <= below.rect.top() + metrics.ascent() + 1.5);
        break;
    case keys::OctaveDot::Above:
        QVERIFY2(all.bounds.top() < digitTop, "no dot above the digit");
        QVERIFY(all.bounds.top() >= above.rect.top() + metrics.ascent() - 5);
        break;
    }
}

void TestKeyFaces::panelMatchesReference()
{
    if (frm_->devicePixelRatioF() != 1.0)
        QSKIP("the reference is drawn at 96 dpi");
    const QImage panel = frm_->Picture1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariableIsSet("PLINKORA_UPDATE_REFERENCE")) {
        QVERIFY(panel.save(referencePath()));
        QSKIP("reference image written");
    }
    const QImage reference(referencePath());
    QVERIFY2(!reference.isNull(), qPrintable("missing " + referencePath()));
    QCOMPARE(panel.size(), reference.size());
    const auto differing = pixeldiff::differences(panel, panel.rect(), reference).size();
    QVERIFY2(differing <= static_cast<std::size_t>(pixeldiff::allowed(panel.size())),
             qPrintable(QString::number(differing) + " pixels differ"));
}

void TestKeyFaces::facesSurviveHidingResizingAndRepaints()
{
    std::vector<QImage> before;
    for (int k = 0; k < keys::kCount; ++k)
        before.push_back(frm_->PicA(k)->grab().toImage());

    frm_->hide();
    frm_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frm_));
    const QSize panel = frm_->Picture1()->size();
    frm_->Picture1()->resize(panel / 3);  // clips most keys away
    frm_->Picture1()->resize(panel);
    for (int k = 0; k < keys::kCount; ++k)
        frm_->PicA(k)->repaint();

    for (int k = 0; k < keys::kCount; ++k)
        QCOMPARE(frm_->PicA(k)->grab().toImage(), before[static_cast<std::size_t>(k)]);
}

void TestKeyFaces::imagesAreInDevicePixels()
{
    const qreal ratio = frm_->devicePixelRatioF();
    for (int k = 0; k < keys::kCount; ++k) {
        const PictureBox* key = frm_->PicA(k);
        QCOMPARE(key->image().size(), key->size() * ratio);
        QCOMPARE(key->image().devicePixelRatio(), ratio);
    }
}

void TestKeyFaces::failedDrawingStopsLoadBeforeOpeningTheDevice()
{
    PianoWindow piano;
    FrmMain& frm = *piano.frm;
    delete frm.PicA(5);  // drawn eleventh: after middle C's octave and B3 to G3
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, frm.Show());
    QVERIFY(piano.out.calls.empty());
    QVERIFY(!frm.isVisible());
    auto hasInk = [&](int k) { return inkOf(frm.PicA(k)->image(), isBlue, {}).count > 0; };
    for (int k : {12, 14, 16, 17, 19, 21, 23, 11, 9, 7})
        QVERIFY2(hasInk(k), qPrintable(QString::number(k)));
    for (int k : {4, 2, 0, 24, 35})
        QVERIFY2(!hasInk(k), qPrintable(QString::number(k)));
}

QTEST_MAIN(TestKeyFaces)
#include "tst_keyfaces.moc"
