// The window's controller through a recording MIDI output: what a player hears
// for the keys clicked, and exactly one note-off and one close however the
// window goes away.

#include "PianoWindow.h"

#include <QPushButton>
#include <QSignalSpy>

#include <algorithm>

using midi::RecordingOutput;
using Op = RecordingOutput::Op;

namespace {

std::uint32_t noteOn(int note) { return static_cast<std::uint32_t>(note * 256 + 0x90 + 100 * 65536); }
std::uint32_t noteOff(int note) { return static_cast<std::uint32_t>(note * 256 + 0x80); }

// A shown, active window; a failing open leaves the handle 0xBAD.
struct Piano : PianoWindow {
    explicit Piano(midi::Status openStatus = midi::status::ok)
    {
        out.openStatus = openStatus;
        out.failedHandle = 0xBAD;
        [[maybe_unused]] const bool active = show();
    }
    std::size_t closesOf(midi::Handle h) const
    {
        return static_cast<std::size_t>(std::count_if(out.calls.begin(), out.calls.end(),
                                                      [h](const auto& c) { return c.op == Op::Close && c.handle == h; }));
    }
};

}  // namespace

class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void loadOpensDeviceZeroAndSelectsPianoBeforeShowing();
    void clickOnKeyPlaysItsNote_data();
    void clickOnKeyPlaysItsNote();
    void onlyTheLeftButtonPlays();
    void clicksLeaveEarlierNotesSounding();
    void everyWayOutStopsLastNoteAndClosesOnce_data();
    void everyWayOutStopsLastNoteAndClosesOnce();
    void nothingPlaysAfterUnload();
    void silentDeviceStillLoadsAndPlays();
    void noteOverflowIsARuntimeError();
};

void TestFrmMain::loadOpensDeviceZeroAndSelectsPianoBeforeShowing()
{
    PianoWindow piano;
    QVERIFY(piano.out.calls.empty());  // nothing is opened before the window loads
    piano.frm->Show();
    QVERIFY(piano.frm->isVisible());
    QCOMPARE(piano.out.count(Op::Open), std::size_t(1));
    QCOMPARE(piano.out.calls.at(1).value, 0u);  // device 0
    QCOMPARE(piano.out.sent(), std::vector<std::uint32_t>{0xC0});
}

void TestFrmMain::clickOnKeyPlaysItsNote_data()
{
    QTest::addColumn<int>("key");
    for (int k = 0; k < keys::kCount; ++k)
        QTest::addRow("key %d", k) << k;
}

void TestFrmMain::clickOnKeyPlaysItsNote()
{
    QFETCH(int, key);
    Piano piano;
    piano.clickKey(key);
    QCOMPARE(piano.out.calls, (std::vector<RecordingOutput::Call>{
                                  {Op::Send, piano.device, noteOn(48 + key), midi::status::ok}}));
}

void TestFrmMain::onlyTheLeftButtonPlays()
{
    Piano piano;
    QTest::mouseClick(piano.frm->PicA(12), Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseClick(piano.frm->PicA(12), Qt::MiddleButton, {}, QPoint(5, 5));
    QVERIFY(piano.out.calls.empty());
    // The note sounds on the press, not on the release.
    QTest::mousePress(piano.frm->PicA(12), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(piano.out.sent(), std::vector<std::uint32_t>{noteOn(60)});
    QTest::mouseRelease(piano.frm->PicA(12), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(piano.out.sent().size(), std::size_t(1));
}

void TestFrmMain::clicksLeaveEarlierNotesSounding()
{
    Piano piano;
    for (int k : {0, 5, 5, 35})
        piano.clickKey(k);
    QCOMPARE(piano.out.sent(), (std::vector<std::uint32_t>{noteOn(48), noteOn(53), noteOn(53), noteOn(83)}));
}

void TestFrmMain::everyWayOutStopsLastNoteAndClosesOnce_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("lastKey");  // -1: no note played
    for (const char* way : {"Esc", "window closed", "quit button clicked", "window destroyed"}) {
        QTest::addRow("%s after a note", way) << QString(way) << 7;
        QTest::addRow("%s before any note", way) << QString(way) << -1;
    }
}

void TestFrmMain::everyWayOutStopsLastNoteAndClosesOnce()
{
    QFETCH(QString, way);
    QFETCH(int, lastKey);
    Piano piano;
    QSignalSpy end(piano.frm.get(), &FrmMain::endRequested);
    if (lastKey >= 0) {
        piano.clickKey(20);
        piano.clickKey(lastKey);
    }
    piano.out.clear();

    if (way == "Esc")
        piano.press(Qt::Key_Escape);
    else if (way == "window closed")
        piano.frm->close();
    else if (way == "quit button clicked")
        piano.frm->CmdQuit()->click();
    if (way != "window destroyed")
        piano.frm->close();  // whatever came first, a later close changes nothing
    piano.frm.reset();       // nor does destroying the window

    const std::uint32_t expectedStop = lastKey >= 0 ? noteOff(48 + lastKey) : 0;
    const midi::Status stopStatus = midi::status::ok;
    QCOMPARE(piano.out.calls, (std::vector<RecordingOutput::Call>{
                                  {Op::Send, piano.device, expectedStop, stopStatus},
                                  {Op::Close, piano.device, 0, midi::status::ok},
                              }));
    const bool quitButton = way == "Esc" || way == "quit button clicked";
    QCOMPARE(end.count(), quitButton ? 1 : 0);
}

void TestFrmMain::nothingPlaysAfterUnload()
{
    Piano piano;
    piano.press(Qt::Key_Escape);
    piano.out.clear();
    QTest::keyClick(piano.frm->windowHandle(), Qt::Key_F);
    QTest::mouseClick(piano.frm->windowHandle(), Qt::LeftButton, {}, QPoint(30, 200));
    QVERIFY(piano.out.calls.empty());
}

void TestFrmMain::silentDeviceStillLoadsAndPlays()
{
    Piano piano(midi::status::noDriver);
    QVERIFY(piano.frm->isVisible());
    QCOMPARE(piano.device, midi::Handle(0xBAD));
    piano.clickKey(12);
    piano.press(Qt::Key_Escape);
    // Everything still goes out, to the handle the failed open left, and fails harmlessly.
    QCOMPARE(piano.out.sent(), (std::vector<std::uint32_t>{noteOn(60), noteOff(60)}));
    QCOMPARE(piano.closesOf(0xBAD), std::size_t(1));
}

void TestFrmMain::noteOverflowIsARuntimeError()
{
    Piano piano;
    piano.frm->PicA_Click(32719);  // 32719 + 48 is the largest note that fits
    QCOMPARE(piano.out.sent().back(), noteOn(127));
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, piano.frm->PicA_Click(32720));
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
