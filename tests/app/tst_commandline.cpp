// The command line of the real program: --help and --version answer and exit
// without a display (they run with none here), and anything the program does
// not know is refused with one line and status 2 before anything opens.

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kTimeoutMs = 30000;

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run runProgram(const QStringList& arguments, const QStringList& changes = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    // Should the program get as far as its synthesizer, it finds no sound
    // server; nor does it find MIDI inputs.
    environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent"));
    environment.insert(QStringLiteral("PIPEWIRE_REMOTE"), QStringLiteral("/nonexistent"));
    environment.insert(QStringLiteral("JACK_DEFAULT_SERVER"), QStringLiteral("nonexistent"));
    // NAME=VALUE sets a variable, NAME alone removes it.
    for (const QString& change : changes) {
        const qsizetype equals = change.indexOf('=');
        if (equals < 0)
            environment.remove(change);
        else
            environment.insert(change.left(equals), change.mid(equals + 1));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(PLINKORA_BINARY), arguments);
    if (!process.waitForFinished(kTimeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QString refusal(const QString& what) { return "^plinkora: " + QRegularExpression::escape(what) + "\n$"; }

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");  // patterns
        QTest::addColumn<QString>("err");

        const QString usage = "(?s)^Usage: plinkora \\[options\\]\n.*--version";
        const QString version = "^plinkora " + QRegularExpression::escape(PLINKORA_VERSION) + "\n$";
        const QString cannotStart = "^plinkora: cannot start: [^\n]+\n$";
        const auto noDisplay = [](const QString& which) {
            return refusal("cannot start: no display could be reached " + which);
        };
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << "^$";
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << "^$";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "^$";
        QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "^$";
        QTest::newRow("unknown long option")
            << QStringList{"--bogus"} << 2 << "^$" << refusal("unknown option '--bogus' (try plinkora --help)");
        QTest::newRow("unknown short option")
            << QStringList{"-x"} << 2 << "^$" << refusal("unknown option '-x' (try plinkora --help)");
        QTest::newRow("refusal before help")
            << QStringList{"--help", "--bogus"} << 2 << "^$" << refusal("unknown option '--bogus' (try plinkora --help)");
        QTest::newRow("argument") << QStringList{"song.mid"} << 2 << "^$"
                                  << refusal("unexpected argument 'song.mid' (try plinkora --help)");
        QTest::newRow("--list-midi-outputs, no server running")
            << QStringList{"--list-midi-outputs"} << 0 << "^synth\n$" << "^$";
        QTest::newRow("--help tells the MIDI outputs")
            << QStringList{"--help"} << 0 << "(?s)--midi-out <output>.*jack:TARGET.*--list-midi-outputs" << "^$";
        const QString tryList = " (try plinkora --list-midi-outputs)";
        QTest::newRow("unknown MIDI output")
            << QStringList{"--midi-out", "alsa"} << 2 << "^$" << refusal("unknown MIDI output 'alsa'" + tryList);
        QTest::newRow("MIDI output without its target")
            << QStringList{"--midi-out=jack:"} << 2 << "^$" << refusal("no target after 'jack:'" + tryList);
        QTest::newRow("--midi-out without its value")
            << QStringList{"--midi-out"} << 2 << "^$" << refusal("missing value after '--midi-out'");
        // Chosen, it opens nothing before the display, which is missing.
        QTest::newRow("MIDI output chosen")
            << QStringList{"--midi-out", "jack:x"} << 1 << "^$" << noDisplay("(DISPLAY is not set)");
        // No X server can hold a display number starting with '-'.
        QTest::newRow("display given") << QStringList{"-display", ":-1"} << 1 << "^$" << noDisplay("at :-1");
        QTest::newRow("Qt option without its value")
            << QStringList{"-platform"} << 2 << "^$" << refusal("missing value after '-platform'");
        // Status 1 and Qt's complaint: the options reached Qt, which found no such platform.
        QTest::newRow("Qt options reach Qt")
            << QStringList{"-session", "restored", "-platform", "nosuch"} << 1 << "^$" << cannotStart;
    }

    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run run = runProgram(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(QRegularExpression(out).match(run.out).hasMatch(), qPrintable("stdout: " + run.out));
        QVERIFY2(QRegularExpression(err).match(run.err).hasMatch(), qPrintable("stderr: " + run.err));
    }

    // A first start where PipeWire's client configuration is not installed
    // and no runtime directory names the daemon: libpipewire is asked and
    // fails, and keeps its own complaints for PIPEWIRE_DEBUG.
    void pipeWireQuietUnlessAsked_data()
    {
        QTest::addColumn<QString>("debug");
        QTest::addColumn<QString>("err");
        QTest::newRow("not asked") << "" << "^$";
        QTest::newRow("PIPEWIRE_DEBUG=2") << "2" << "client\\.conf";
    }

    void pipeWireQuietUnlessAsked()
    {
        QFETCH(QString, debug);
        QFETCH(QString, err);
        const QTemporaryDir noConfiguration;
        const Run run = runProgram({"--list-midi-outputs"},
                                   {"PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR",
                                    "PIPEWIRE_CONFIG_DIR=" + noConfiguration.path(), "PIPEWIRE_DEBUG=" + debug});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("synth\n"));
        QVERIFY2(QRegularExpression(err).match(run.err).hasMatch(), qPrintable("stderr: " + run.err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
