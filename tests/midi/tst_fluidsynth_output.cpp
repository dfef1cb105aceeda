// MIDI output device 0 as the embedded synthesizer: statuses for bad devices
// and dead handles, and one clear report when it cannot make sound.

#include "midi/FluidSynthOutput.h"
#include "NoSoundReports.h"
#include "midi/ShortMessage.h"
#include "synth/SoundFontPath.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

using midi::FluidSynthOutput;
using synth::SynthConfig;

Q_DECLARE_METATYPE(SynthConfig)

namespace {

SynthConfig offline(std::string soundFont, std::vector<std::string> audioOutputs = {})
{
    SynthConfig config;
    config.soundFont = std::move(soundFont);
    config.audioOutputs = std::move(audioOutputs);
    return config;
}

// Everything written to stderr while it lives, straight from the descriptor,
// so that libraries printing on their own are caught too.
class StderrCapture {
public:
    explicit StderrCapture(const QString& path) : path_(path.toStdString())
    {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int file = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~StderrCapture() { restore(); }
    std::string text()
    {
        restore();
        std::ifstream in(path_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

void restoreEnv(const char* name, const QByteArray& saved)
{
    if (saved.isNull())
        qunsetenv(name);
    else
        qputenv(name, saved);
}

}  // namespace

class TestFluidSynthOutput : public QObject {
    Q_OBJECT
    std::string soundFont;
    QTemporaryDir dir;
    NoSoundReports reports;

private slots:
    void initTestCase()
    {
        const auto found = synth::findSoundFont();
        if (!found)
            QSKIP("no SoundFont installed");
        soundFont = *found;
    }
    void init() { reports.clear(); }

    void audioOutputsTriedInOrder_data()
    {
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QStringList>("outputs");
        const QStringList automatic{"pipewire", "pulseaudio", "alsa"};
        QTest::newRow("automatic") << QByteArray() << automatic;
        QTest::newRow("set but empty") << QByteArray("") << automatic;
        QTest::newRow("chosen") << QByteArray("pulseaudio") << QStringList{"pulseaudio"};
    }
    void audioOutputsTriedInOrder()
    {
        QFETCH(QByteArray, chosen);
        QFETCH(QStringList, outputs);
        const QByteArray saved = qgetenv("PLINKORA_AUDIO");
        restoreEnv("PLINKORA_AUDIO", chosen);
        QStringList got;
        for (const std::string& name : audio::defaultAudioOutputs())
            got << QString::fromStdString(name);
        restoreEnv("PLINKORA_AUDIO", saved);
        QCOMPARE(got, outputs);
    }

    void onlyDeviceZeroExists()
    {
        FluidSynthOutput output([this] { return offline(soundFont); });
        midi::Handle handle = 123;
        QCOMPARE(output.open(&handle, 1), midi::status::badDeviceId);
        QCOMPARE(handle, midi::Handle{0});
        QVERIFY(reports.empty());
    }

    void deadHandlesFailHarmlessly()
    {
        FluidSynthOutput output([this] { return offline(soundFont); });
        QCOMPARE(output.sendShort(0, midi::noteOn(60)), midi::status::invalidHandle);
        QCOMPARE(output.close(0), midi::status::invalidHandle);

        midi::Handle handle = 0;
        QCOMPARE(output.open(&handle, 0), midi::status::ok);
        QVERIFY(handle != 0);
        QCOMPARE(output.sendShort(handle, midi::noteOn(60)), midi::status::ok);
        QCOMPARE(output.close(handle), midi::status::ok);
        QCOMPARE(output.sendShort(handle, midi::noteOff(60)), midi::status::invalidHandle);
        QCOMPARE(output.close(handle), midi::status::invalidHandle);
        QVERIFY(reports.empty());
    }

    // Loading ahead on another thread changes when the work is done, not what
    // the open answers or reports, nor when it reports.
    void preparedOpenAnswersAsAnOpen_data()
    {
        QTest::addColumn<QString>("soundFontPath");
        QTest::addColumn<bool>("opens");
        QTest::newRow("installed SoundFont") << QString() << true;
        QTest::newRow("SoundFont missing") << "missing.sf2" << false;
    }
    void preparedOpenAnswersAsAnOpen()
    {
        QFETCH(QString, soundFontPath);
        QFETCH(bool, opens);
        const std::string path = soundFontPath.isEmpty() ? soundFont : dir.filePath(soundFontPath).toStdString();
        FluidSynthOutput output([&] { return offline(path); });
        output.prepare();
        output.prepare();  // a second call changes nothing
        QTest::qWait(50);
        QVERIFY(reports.empty());  // nothing is said before the open

        midi::Handle handle = 0;
        const midi::Status status = output.open(&handle, 0);
        QCOMPARE(status == midi::status::ok, opens);
        QCOMPARE(reports.size(), std::size_t{opens ? 0u : 1u});
        QCOMPARE(output.sendShort(handle, midi::noteOn(60)), opens ? midi::status::ok : midi::status::invalidHandle);
        // Later opens load afresh.
        QCOMPARE(output.close(handle), opens ? midi::status::ok : midi::status::invalidHandle);
        QCOMPARE(output.open(&handle, 0) == midi::status::ok, opens);
    }

    void failedOpenReportsWhyOnce_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("why");
        QTest::newRow("no SoundFont found") << "none" << "SoundFont";
        QTest::newRow("SoundFont missing") << "missing" << "missing.sf2";
        QTest::newRow("SoundFont corrupt") << "corrupt" << "corrupt.sf2";
        QTest::newRow("unknown audio output") << "driver" << "no-such-driver: ";
        QTest::newRow("no PulseAudio server") << "server" << "pulseaudio: cannot connect";
        QTest::newRow("no sound server at all") << "servers" << "pipewire: no PipeWire daemon; pulseaudio: cannot connect";
    }
    void failedOpenReportsWhyOnce()
    {
        QFETCH(QString, setup);
        QFETCH(QString, why);
        const std::string corrupt = dir.filePath("corrupt.sf2").toStdString();
        std::ofstream(corrupt, std::ios::binary) << "RIFF garbage: this is no SoundFont";
        const std::map<QString, SynthConfig> configs = {
            {"none", offline("")},
            {"missing", offline(dir.filePath("missing.sf2").toStdString())},
            {"corrupt", offline(corrupt)},
            {"driver", offline(soundFont, {"no-such-driver"})},
            // A server address where none listens: libpulse then neither
            // falls back to another server nor starts one.
            {"server", offline(soundFont, {"pulseaudio"})},
            // The automatic choice with neither daemon's socket in the runtime directory.
            {"servers", offline(soundFont, {"pipewire", "pulseaudio"})},
        };
        const QByteArray savedServer = qgetenv("PULSE_SERVER");
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("PULSE_SERVER", "unix:" + dir.filePath("no-server").toUtf8());
        qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
        FluidSynthOutput output([&] { return configs.at(setup); });
        midi::Handle handle = 0;
        StderrCapture stderrDuringOpen(dir.filePath("stderr.txt"));
        const midi::Status status = output.open(&handle, 0);
        const std::string printed = stderrDuringOpen.text();
        restoreEnv("PULSE_SERVER", savedServer);
        restoreEnv("XDG_RUNTIME_DIR", savedRuntime);

        QVERIFY(status != midi::status::ok);
        QCOMPARE(handle, midi::Handle{0});
        // The report is the only word about it: no library prints on its own.
        QVERIFY2(printed.empty(), printed.c_str());
        QCOMPARE(reports.size(), std::size_t{1});
        QVERIFY2(QString::fromStdString(reports.front()).contains(why), reports.front().c_str());
        qInfo("%s", reports.front().c_str());
        QCOMPARE(output.sendShort(handle, midi::noteOn(60)), midi::status::invalidHandle);
    }
};

QTEST_APPLESS_MAIN(TestFluidSynthOutput)
#include "tst_fluidsynth_output.moc"
