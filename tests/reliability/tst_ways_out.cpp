// Every way the window can go, alone and in every order of two, then the
// window's destruction: the first way stops the last note and closes the
// device, and nothing after it sends or closes anything again. Under X11
// (tst_ways_out_x11, in Xvfb) also another client destroying the window. Also
// the termination signals through ProcessGuard for real, and what ProcessGuard
// does when the orderly way gets stuck (in a child process, which it ends).

#include "../ui/PianoWindow.h"
#include "app/ProcessGuard.h"
#include "ui/RuntimeError.h"

#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>

#include <array>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>

#include <signal.h>

using midi::RecordingOutput;
using Op = RecordingOutput::Op;
using Calls = std::vector<RecordingOutput::Call>;

namespace {

constexpr int kFirstKey = 3;
constexpr int kLastKey = 30;
constexpr std::uint32_t kLastNoteOff = (48 + kLastKey) * 256 + 0x80;

struct Way {
    const char* name;
    std::function<void(FrmMain&)> take;
    bool x11Only = false;
};

void keyClick(FrmMain& frm, Qt::Key key) { QTest::keyClick(frm.windowHandle(), key); }

// What the program does on SIGTERM, SIGINT and SIGHUP (app/main.cpp): close
// the window, then leave the event loop.
void shutDownAsOnSignal(FrmMain& frm)
{
    frm.close();
    QCoreApplication::exit(0);
}

QString helperPath(const char* name) { return QCoreApplication::applicationDirPath() + "/" + name; }

// As some window managers and tools do; the program hears of it only from the
// X server, some time after.
void destroyFromAnotherClient(FrmMain& frm)
{
    const int status = QProcess::execute(helperPath("x11_close"), {"--destroy", QString::number(frm.winId())});
    if (status == 0)
        (void)QTest::qWaitFor([&frm] { return frm.isUnloaded(); }, 10000);
}

const std::array<Way, 9> kWays = {{
    {"Esc", [](FrmMain& frm) { keyClick(frm, Qt::Key_Escape); }},
    // The invisible quit button holds the focus from the start.
    {"Space", [](FrmMain& frm) { keyClick(frm, Qt::Key_Space); }},
    {"Enter", [](FrmMain& frm) { keyClick(frm, Qt::Key_Return); }},
    {"quit button", [](FrmMain& frm) { frm.CmdQuit()->click(); }},
    {"desktop close", [](FrmMain& frm) { frm.windowHandle()->close(); }},
    {"widget close", [](FrmMain& frm) { frm.close(); }},
    {"Unload", [](FrmMain& frm) { frm.Unload(); }},
    {"signal", shutDownAsOnSignal},
    {"destroyed by another X client", destroyFromAnotherClient, true},
}};

bool available(const Way& way) { return !way.x11Only || QGuiApplication::platformName() == "xcb"; }

// A shown, active window that has played two notes into a recorder.
struct Piano : PianoWindow {
    bool start()
    {
        if (!show())
            return false;
        frm->PicA_Click(kFirstKey);
        frm->PicA_Click(kLastKey);
        out.clear();
        return true;
    }
    Calls unloadCalls() const { return {{Op::Send, device, kLastNoteOff, 0}, {Op::Close, device, 0, 0}}; }
};

}  // namespace

class TestWaysOut : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyOrderUnloadsOnce_data();
    void everyOrderUnloadsOnce();
    void realSignalUnloadsOnce();
    void stuckShutdownEnds_data();
    void stuckShutdownEnds();
};

void TestWaysOut::initTestCase()
{
    // The program arms a 5 s exit deadline when it unloads; in this process
    // that deadline would end the test run half-way with status 0.
    ProcessGuard::armExitDeadline(std::chrono::hours(24));
}

void TestWaysOut::everyOrderUnloadsOnce_data()
{
    QTest::addColumn<int>("first");   // -1: the window is only destroyed
    QTest::addColumn<int>("second");  // -1: none
    QTest::newRow("destroyed") << -1 << -1;
    for (int a = 0; a < int(kWays.size()); ++a) {
        if (!available(kWays[a]))
            continue;
        QTest::addRow("%s", kWays[a].name) << a << -1;
        // Once unloaded, the window is gone from the X server for the ways
        // that close it: there is nothing left to destroy.
        for (int b = 0; b < int(kWays.size()); ++b)
            if (!kWays[b].x11Only)
                QTest::addRow("%s, %s", kWays[a].name, kWays[b].name) << a << b;
    }
}

void TestWaysOut::everyOrderUnloadsOnce()
{
    QFETCH(int, first);
    QFETCH(int, second);
    Piano piano;
    QVERIFY(piano.start());

    if (first >= 0) {
        kWays[first].take(*piano.frm);
        QVERIFY(piano.frm->isUnloaded());
        QVERIFY(!piano.frm->isVisible());
        QCOMPARE(piano.out.calls, piano.unloadCalls());
    }
    if (second >= 0)
        kWays[second].take(*piano.frm);
    // Events that were queued on the way out come and go.
    QCoreApplication::processEvents();
    piano.frm.reset();
    QCOMPARE(piano.out.calls, piano.unloadCalls());
    QVERIFY(!piano.out.isOpen(piano.device));
}

// One real signal per process: a second one ends it at once, by design.
void TestWaysOut::realSignalUnloadsOnce()
{
    Piano piano;
    QVERIFY(piano.start());
    ProcessGuard guard([&piano] { shutDownAsOnSignal(*piano.frm); });
    QVERIFY(std::raise(SIGTERM) == 0);
    QTRY_VERIFY(piano.frm->isUnloaded());
    QCOMPARE(piano.out.calls, piano.unloadCalls());
    piano.frm.reset();
    QCOMPARE(piano.out.calls, piano.unloadCalls());
}

// The helper's shut-down never returns. A second signal must end the process
// at once; without one, the exit deadline must. Either keeps the status of a
// run-time error reported before.
void TestWaysOut::stuckShutdownEnds_data()
{
    QTest::addColumn<int>("secondSignal");  // 0: none, wait for the deadline
    QTest::addColumn<int>("withinMs");
    QTest::addColumn<bool>("afterError");
    QTest::newRow("second SIGTERM") << int(SIGTERM) << 3000 << false;
    QTest::newRow("SIGINT after SIGTERM") << int(SIGINT) << 3000 << false;
    QTest::newRow("SIGHUP after SIGTERM") << int(SIGHUP) << 3000 << false;
    QTest::newRow("second SIGTERM after a run-time error") << int(SIGTERM) << 3000 << true;
    // The deadline is 5 s; the bound only catches a process that never ends.
    QTest::newRow("deadline") << 0 << 20000 << false;
    QTest::newRow("deadline after a run-time error") << 0 << 20000 << true;
}

void TestWaysOut::stuckShutdownEnds()
{
    QFETCH(int, secondSignal);
    QFETCH(int, withinMs);
    QFETCH(bool, afterError);
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // With a second signal coming, the deadline is pushed far out so that it
    // cannot be what ends the process.
    helper.start(helperPath("stuck_shutdown"), {secondSignal ? "600" : "default", afterError ? "error" : ""});
    QVERIFY2(helper.waitForStarted(), qPrintable(helper.errorString()));
    QVERIFY(helper.waitForReadyRead(10000));
    QCOMPARE(helper.readLine().trimmed(), QByteArray("ready"));

    ::kill(static_cast<pid_t>(helper.processId()), SIGTERM);
    QVERIFY(helper.waitForReadyRead(10000));
    QCOMPARE(helper.readLine().trimmed(), QByteArray("stuck"));
    if (secondSignal)
        ::kill(static_cast<pid_t>(helper.processId()), secondSignal);

    const bool ended = helper.waitForFinished(withinMs);
    if (!ended)
        helper.kill();
    QVERIFY2(ended, "the process outlived its way out");
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), afterError ? kRuntimeErrorExitCode : 0);
}

QTEST_MAIN(TestWaysOut)
#include "tst_ways_out.moc"
