// An audio output against a real sound server (run by with_sound_server.sh,
// which starts a private one and names the backend in PLINKORA_AUDIO): it
// renders only what the server plays, rests when all is silent, wakes on a
// message, and never renders after it is closed. Run by with_realtimekit.sh,
// the thread that renders asks a fake RealtimeKit for real time, as a normal
// user's does, and plays whatever the bus does.

#include "audio/AudioOut.h"
#include "audio/AudioPump.h"
#include "audio/Realtime.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A tone while `sounding`, else silence; counts what it renders.
class ToneSource final : public audio::AudioSource {
public:
    bool render(float* left, float* right, int step, int frames) override
    {
        if (calls.fetch_add(1) == 0) {
            policy = sched_getscheduler(0);
            thread = gettid();
        }
        rendered.fetch_add(frames);
        if (frames % audio::kSynthBlockFrames != 0)
            partialBlocks.fetch_add(1);
        const bool on = sounding.load();
        for (int i = 0; i < frames; ++i, ++phase_)
            left[i * step] = right[i * step] = on ? 0.1f * static_cast<float>(std::sin(phase_ * 0.0576)) : 0.0f;
        return on;
    }
    std::atomic<bool> sounding{true};
    std::atomic<long> rendered{0};
    std::atomic<long> calls{0};
    std::atomic<long> partialBlocks{0};
    std::atomic<int> policy{-1};  // of the thread that renders
    std::atomic<pid_t> thread{0};

private:
    long phase_ = 0;
};

bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(5))
{
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Where this process may make a thread real-time itself, RealtimeKit is never asked.
bool maySetRealtimeItself()
{
    sched_param param{};
    param.sched_priority = 1;
    if (sched_setscheduler(0, SCHED_FIFO, &param) != 0)
        return false;
    param.sched_priority = 0;
    sched_setscheduler(0, SCHED_OTHER, &param);
    return true;
}

// The next line the fake RealtimeKit prints, or nothing within 10 s.
QByteArray nextLine(QProcess& rtkit)
{
    while (!rtkit.canReadLine())
        if (!rtkit.waitForReadyRead(10000))
            return {};
    return rtkit.readLine().trimmed();
}

// Whether a thread of this process still asks RealtimeKit.
bool requestRunning()
{
    for (const QFileInfo& task : QDir("/proc/self/task").entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(task.filePath() + "/comm");
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "plinkora-rtkit")
            return true;
    }
    return false;
}

}  // namespace

class TestAudioOutputs : public QObject {
    Q_OBJECT
    std::string backend;
    audio::AudioOptions options;
    QByteArray systemBus;  // with_realtimekit.sh's private one

    std::unique_ptr<audio::AudioOutput> open(ToneSource& source)
    {
        std::string why;
        auto output = audio::openAudioOutput({backend}, source, options, &why);
        if (!output)
            qWarning("%s", why.c_str());
        return output;
    }

private slots:
    void initTestCase()
    {
        const char* chosen = std::getenv("PLINKORA_AUDIO");
        if (!chosen)
            QSKIP("run by with_sound_server.sh, which starts a sound server");
        backend = chosen;
        options.idleSeconds = 0.25;
        systemBus = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

    void rendersOnlyWhatTheServerPlays()
    {
        ToneSource source;
        int reported = 0;
        options.bufferChanged = [&reported](int frames) { reported = frames; };
        auto output = open(source);
        QVERIFY(output);
        QCOMPARE(reported, output->bufferFrames());
        const auto start = Clock::now();
        QVERIFY(waitFor([&] { return source.rendered.load() > 4800; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const long rendered = source.rendered.load();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        // Never more than the buffer ahead of the clock: nothing is rendered
        // before the server asks for it.
        const double slack = options.maxBufferFrames + 2048;
        QVERIFY2(rendered <= seconds * options.sampleRate + slack,
                 qPrintable(QString("%1 frames in %2 s").arg(rendered).arg(seconds)));
        if (backend == "pulseaudio")
            QCOMPARE(source.partialBlocks.load(), 0L);
        // Root may schedule itself in real time, so the thread that renders must be.
        if (geteuid() == 0)
            QCOMPARE(source.policy.load() & ~SCHED_RESET_ON_FORK, SCHED_FIFO);
        options.bufferChanged = nullptr;
    }

    void restsInSilenceAndWakesOnAMessage()
    {
        ToneSource source;
        source.sounding = false;
        auto output = open(source);
        QVERIFY(output);
        QVERIFY(waitFor([&] { return output->resting(); }));
        // Resting means not asked: nothing renders however long it rests.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const long restingCalls = source.calls.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QCOMPARE(source.calls.load(), restingCalls);

        source.sounding = true;
        output->wake();
        QVERIFY(waitFor([&] { return source.calls.load() > restingCalls + 10; }));
        QVERIFY(!output->resting());
        // And it rests again once the sound has stopped.
        source.sounding = false;
        QVERIFY(waitFor([&] { return output->resting(); }));
    }

    void closedOutputRendersNoMore()
    {
        ToneSource source;
        auto output = open(source);
        QVERIFY(output);
        QVERIFY(waitFor([&] { return source.calls.load() > 0; }));
        output.reset();
        const long calls = source.calls.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QCOMPARE(source.calls.load(), calls);
    }

    void asksRealtimeKit_data()
    {
        QTest::addColumn<QString>("service");  // the fake's answer; "" none on the bus
        QTest::addColumn<int>("maxPriority");
        QTest::addColumn<qint64>("maxRtTime");
        QTest::addColumn<QString>("bus");  // "silent": stopped, it takes connections and never answers
        QTest::newRow("granted") << "accept" << 20 << qint64(200000) << "";
        QTest::newRow("granted, lower maxima") << "accept" << 2 << qint64(100000) << "";
        QTest::newRow("access denied") << "deny" << 20 << qint64(200000) << "";
        QTest::newRow("no service") << "" << 0 << qint64(0) << "";
        QTest::newRow("no bus") << "" << 0 << qint64(0) << "unix:path=/nonexistent/socket";
        QTest::newRow("bus never answers") << "" << 0 << qint64(0) << "silent";
    }

    // Whatever the bus does, the output opens and plays and the request ends;
    // what RealtimeKit is asked names this process's rendering thread, a
    // priority the service allows, and a CPU-time limit within its maximum.
    void asksRealtimeKit()
    {
        QFETCH(QString, service);
        QFETCH(int, maxPriority);
        QFETCH(qint64, maxRtTime);
        QFETCH(QString, bus);
        const QString fake = qEnvironmentVariable("PLINKORA_FAKE_RTKIT");
        const pid_t busPid = qEnvironmentVariableIntValue("E2E_SYSTEM_BUS_PID");
        if (fake.isEmpty() || systemBus.isEmpty() || busPid == 0)
            QSKIP("run by with_realtimekit.sh, which starts a private system bus");
        QVERIFY2(!maySetRealtimeItself(), "this process may make itself real-time: RealtimeKit is not asked");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.startsWith("unix:") ? bus.toUtf8() : systemBus);
        QProcess rtkit;
        if (!service.isEmpty()) {
            rtkit.start(fake, {QString::number(maxPriority), QString::number(maxRtTime), service});
            QCOMPARE(nextLine(rtkit), QByteArray("ready"));
        }
        const bool silent = bus == "silent";
        if (silent)
            ::kill(busPid, SIGSTOP);

        ToneSource source;
        auto output = open(source);
        const bool played = output && waitFor([&] { return source.rendered.load() > 4800; });
        const bool ended = waitFor([] { return !requestRunning(); }, std::chrono::seconds(10));
        if (silent)
            ::kill(busPid, SIGCONT);
        QVERIFY(played);
        QVERIFY2(ended, "the request to RealtimeKit still runs");
        if (!service.isEmpty()) {
            const QList<QByteArray> asked = nextLine(rtkit).split(' ');
            QCOMPARE(asked.size(), 5);
            QCOMPARE(asked[0], QByteArray(service == "accept" ? "accepted" : "denied"));
            QCOMPARE(asked[1].toLongLong(), qint64(getpid()));
            QCOMPARE(asked[2].toLongLong(), qint64(source.thread.load()));
            QCOMPARE(asked[3].toInt(), std::min(audio::kAudioThreadPriority, maxPriority));
            QVERIFY2(asked[4].toLongLong() >= 0 && asked[4].toLongLong() <= maxRtTime, asked[4].constData());
            rtkit.kill();
            rtkit.waitForFinished();
        }
    }
};

QTEST_GUILESS_MAIN(TestAudioOutputs)
#include "tst_audio_outputs.moc"
