// An audio output against a real sound server (run by with_sound_server.sh,
// which starts a private one and names the backend in PLINKORA_AUDIO): it
// renders only what the server plays, rests when all is silent, wakes on a
// message, and never renders after it is closed.

#include "audio/AudioOut.h"
#include "audio/AudioPump.h"

#include <QTest>

#include <sched.h>
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
        if (calls.fetch_add(1) == 0)
            policy = sched_getscheduler(0);
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

}  // namespace

class TestAudioOutputs : public QObject {
    Q_OBJECT
    std::string backend;
    audio::AudioOptions options;

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
};

QTEST_APPLESS_MAIN(TestAudioOutputs)
#include "tst_audio_outputs.moc"
