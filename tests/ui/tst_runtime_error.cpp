// A run-time error escaping an event handler ends the program: the error is
// shown, written to stderr, and the event loop ends with a failure status.
// The voice's platform failing at a call (a MIDI library that cannot be
// found) is the error the program can meet.

#include "app/Application.h"
#include "ui/FrmMain.h"
#include "midi/RecordingOutput.h"
#include "ui/RuntimeError.h"

#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace {

// Opens and closes like a device, but every send after the open's program
// change fails as a missing library would; the attempts are kept.
class LibraryGoneOnSend final : public midi::OutputPort {
public:
    midi::Status open(midi::Handle* handle, std::uint32_t deviceId) override { return device.open(handle, deviceId); }
    midi::Status sendShort(midi::Handle handle, std::uint32_t message) override
    {
        if (message == 0xC0)
            return device.sendShort(handle, message);
        attempts.push_back(message);
        throw std::runtime_error("Can't find DLL entry point midiOutShortMsg in winmm.dll");
    }
    midi::Status close(midi::Handle handle) override { return device.close(handle); }
    midi::RecordingOutput device;
    std::vector<std::uint32_t> attempts;
};

}  // namespace

class TestRuntimeError : public QObject {
    Q_OBJECT
private slots:
    void errorInAHandlerIsShownWrittenAndEndsTheProgram();
};

void TestRuntimeError::errorInAHandlerIsShownWrittenAndEndsTheProgram()
{
    QStringList shown;
    // What main does after the loop: unload the window, where a further error
    // is caught and not shown again.
    auto unloadAsMainDoes = [](FrmMain& frm) {
        try {
            frm.Unload();
        } catch (const std::exception& error) {
            reportRuntimeError(error.what());
        }
    };
    setRuntimeErrorPresenter([&](const QString& text) { shown << text; });
    LibraryGoneOnSend out;
    int exitCode = -1;
    QTemporaryFile stderrFile;
    QVERIFY(stderrFile.open());
    {
        FrmMain frm(out);
        frm.Show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));

        std::fflush(stderr);
        const int savedStderr = dup(STDERR_FILENO);
        dup2(stderrFile.handle(), STDERR_FILENO);
        QTimer::singleShot(0, &frm, [&] { QTest::mouseClick(frm.PicA(12), Qt::LeftButton, {}, QPoint(5, 5)); });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); });  // never hang the suite
        exitCode = QCoreApplication::exec();
        unloadAsMainDoes(frm);
        std::fflush(stderr);
        dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
    }
    QCOMPARE(exitCode, kRuntimeErrorExitCode);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.front().contains("winmm.dll"), qPrintable(shown.front()));
    std::ifstream written(stderrFile.fileName().toStdString());
    const std::string line((std::istreambuf_iterator<char>(written)), {});
    QCOMPARE(line, std::string("plinkora: run-time error: Can't find DLL entry point midiOutShortMsg in winmm.dll\n"));
    // The window still unloads once on its way out: the note-off is tried
    // (and fails like the note-on) and the program neither crashes nor
    // reports the consequence a second time.
    QCOMPARE(out.attempts, (std::vector<std::uint32_t>{0x00643C90, 0x00003C80}));
}

int main(int argc, char* argv[])
{
    Application app(argc, argv);
    TestRuntimeError test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_runtime_error.moc"
