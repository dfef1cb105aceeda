// The window as designed: where clicks land, where the keys stand, what the
// window looks like, and which keys quit while the invisible button has the focus.

#include "PianoWindow.h"
#include "ui/Layout.h"
#include "midi/ShortMessage.h"

#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

using midi::RecordingOutput;

namespace {

constexpr int kPanel = -1;  // the click reaches the key panel, no key

std::uint32_t noteOn(int note) { return static_cast<std::uint32_t>(note * 256 + 0x90 + 100 * 65536); }

// A point given in the key panel's twips, in window pixels.
QPoint inPanel(int x, int y) { return twips::toPixels(layout::kPanel).topLeft() + QPoint(twips::toPixels(x), twips::toPixels(y)); }

// Where a player would click to reach key k: the middle of what shows of it.
QPoint visibleCentre(int k)
{
    const twips::Rect r = layout::keyRect(k);
    const int x = r.left + r.width / 2;
    const int y = keys::isBlack(k) ? r.top + r.height / 2 : (layout::kBlackHeight + layout::kKeyTop + r.bottom()) / 2;
    return inPanel(x, y);
}

struct Piano : PianoWindow {
    Piano() { [[maybe_unused]] const bool active = show(); }
    // What a left click at a window point played: the key index, or kPanel for nothing.
    int keyHitAt(QPoint p)
    {
        out.clear();
        QTest::mouseClick(window(), Qt::LeftButton, {}, p);
        const auto sent = out.sent();
        if (sent.empty())
            return kPanel;
        return midi::unpack(sent.front()).data1 - keys::kFirstNote;
    }
};

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void windowIsFramelessFixedAndCentred();
    void clicksReachTheFrontMostControl_data();
    void clicksReachTheFrontMostControl();
    void everyKeyIsReachedAtItsVisibleCentre();
    void keysStandInsideTheWindowWithoutOverlap();
    void quitButtonIsFocusedButNeverSeen();
    void focusedQuitButtonQuitsWithSpaceAndEnter_data();
    void focusedQuitButtonQuitsWithSpaceAndEnter();
    void afterAKeyIsClickedOnlyEscQuits();
    void windowShowsBannerKeysAndBlackGaps();
};

void TestLayout::windowIsFramelessFixedAndCentred()
{
    Piano piano;
    FrmMain& frm = *piano.frm;
    QVERIFY(frm.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(frm.size(), QSize(571, 264));
    QCOMPARE(frm.minimumSize(), frm.maximumSize());
    QCOMPARE(frm.windowTitle(), QStringLiteral("Plinkora"));
    const QRect screen = frm.screen()->geometry();
    QVERIFY(std::abs(frm.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(std::abs(frm.geometry().center().y() - screen.center().y()) <= 1);
}

void TestLayout::clicksReachTheFrontMostControl_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("key");
    QTest::newRow("black key 1 over white key 0") << inPanel(300, 500) << 1;
    QTest::newRow("white key 0 below the black keys") << inPanel(300, 2000) << 0;
    QTest::newRow("gap between white keys 0 and 2") << inPanel(420, 2000) << kPanel;
    QTest::newRow("left margin") << inPanel(10, 1000) << kPanel;
    QTest::newRow("top margin") << inPanel(1000, 10) << kPanel;
    QTest::newRow("below the keys") << inPanel(1000, 2850) << kPanel;
    QTest::newRow("right of the last key") << inPanel(8530, 1000) << kPanel;
    QTest::newRow("banner") << QPoint(100, 30) << kPanel;
    QTest::newRow("key 0's lower left corner") << inPanel(30, 2790) << 0;
    QTest::newRow("black key 34's left edge") << inPanel(7920, 1000) << 34;
    QTest::newRow("white key 33 just below black key 34") << inPanel(7930, 1860) << 33;
}

void TestLayout::clicksReachTheFrontMostControl()
{
    QFETCH(QPoint, point);
    QFETCH(int, key);
    Piano piano;
    QCOMPARE(piano.keyHitAt(point), key);
}

void TestLayout::everyKeyIsReachedAtItsVisibleCentre()
{
    Piano piano;
    for (int k = 0; k < keys::kCount; ++k)
        QCOMPARE(piano.keyHitAt(visibleCentre(k)), k);
}

void TestLayout::keysStandInsideTheWindowWithoutOverlap()
{
    Piano piano;
    const QRect window = piano.frm->rect();
    for (int k = 0; k < keys::kCount; ++k) {
        const QRect key(piano.frm->PicA(k)->mapTo(piano.frm.get(), QPoint(0, 0)), piano.frm->PicA(k)->size());
        QVERIFY2(window.contains(key), qPrintable(QString::number(k)));
        for (int j = k + 1; j < keys::kCount; ++j)
            if (keys::isBlack(j) == keys::isBlack(k))
                QVERIFY(!layout::keyRect(k).contains(layout::keyRect(j).left, layout::keyRect(j).top));
        if (keys::isBlack(k)) {
            // Centred on the gap between its white neighbours.
            const int gapCentre = (layout::keyRect(k - 1).right() + layout::keyRect(k + 1).left) / 2;
            QCOMPARE(layout::keyRect(k).left + layout::keyRect(k).width / 2, gapCentre);
        }
    }
}

void TestLayout::quitButtonIsFocusedButNeverSeen()
{
    Piano piano;
    QPushButton* quit = piano.frm->CmdQuit();
    QCOMPARE(quit->text(), QStringLiteral("QUIT"));
    QVERIFY(quit->isVisible() && quit->isEnabled());
    QVERIFY(quit->hasFocus());
    QVERIFY(!piano.frm->rect().intersects(quit->geometry()));
}

void TestLayout::focusedQuitButtonQuitsWithSpaceAndEnter_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void TestLayout::focusedQuitButtonQuitsWithSpaceAndEnter()
{
    QFETCH(int, key);
    Piano piano;
    QSignalSpy end(piano.frm.get(), &FrmMain::endRequested);
    QTest::keyClick(piano.frm->windowHandle(), Qt::Key(key));
    QCOMPARE(end.count(), 1);
    QVERIFY(piano.frm->isUnloaded());
    QCOMPARE(piano.out.sent(), std::vector<std::uint32_t>{0});  // no note played: the stop sends 0
    QCOMPARE(piano.out.count(RecordingOutput::Op::Close), std::size_t(1));
}

void TestLayout::afterAKeyIsClickedOnlyEscQuits()
{
    Piano piano;
    QSignalSpy end(piano.frm.get(), &FrmMain::endRequested);
    QTest::mouseClick(piano.frm->windowHandle(), Qt::LeftButton, {}, visibleCentre(14));
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(piano.frm->windowHandle(), key);
    QCOMPARE(end.count(), 0);
    QTest::keyClick(piano.frm->windowHandle(), Qt::Key_Escape);
    QCOMPARE(end.count(), 1);
    QCOMPARE(piano.out.sent(), (std::vector<std::uint32_t>{noteOn(62), 0x3E80}));
}

void TestLayout::windowShowsBannerKeysAndBlackGaps()
{
    Piano piano;
    const QImage shot = piano.frm->grab().toImage();
    QCOMPARE(shot.size() / shot.devicePixelRatio(), QSize(571, 264));
    auto at = [&](QPoint p) { return shot.pixelColor(p * shot.devicePixelRatio()); };
    const QColor face = piano.frm->PicA(0)->backColor();

    // Margins and gaps of the panel are black.
    for (QPoint p : {inPanel(10, 1000), inPanel(1000, 10), inPanel(420, 2000), inPanel(1000, 2850), inPanel(8540, 1500)})
        QCOMPARE(at(p), QColor(Qt::black));
    // White keys below the black ones show their face colour, black keys black.
    QCOMPARE(at(inPanel(200, 1900)), face);
    QCOMPARE(at(inPanel(8400, 1000)), face);
    QCOMPARE(at(inPanel(400, 200)), QColor(Qt::black));
    // The banner fills the top, and is neither black nor the window's background.
    int bannerLike = 0;
    for (int x = 0; x < 571; x += 10)
        for (int y = 2; y < 70; y += 6)
            bannerLike += (at(QPoint(x, y)) != QColor(Qt::black) && at(QPoint(x, y)) != piano.frm->palette().color(QPalette::Window)) ? 1 : 0;
    QVERIFY2(bannerLike > 57 * 12 * 9 / 10, qPrintable(QString::number(bannerLike)));
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
