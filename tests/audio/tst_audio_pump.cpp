// The contract between an audio output and the synthesizer, offline: what
// the server asks for is rendered then, exactly; a note played between two
// requests is in the next one; silence lets the output rest and the next
// message wakes it; nothing the thread that plays does makes it wait.

#include "audio/AudioPump.h"
#include "audio/BufferTarget.h"
#include "audio/Realtime.h"
#include "midi/ShortMessage.h"
#include "NoSoundReports.h"
#include "SynthFixture.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

namespace {

// A disk slow to answer the thread that plays: while `holding`, each of its
// reads waits until the audio thread has rendered three times more, or gives
// up after a second (the audio thread is stuck) and stops holding.
namespace slowreads {
std::atomic<bool> holding{false};
std::atomic<std::thread::id> reader;
std::atomic<long> renders{0}, held{0}, stalled{0};

void wait()
{
    if (!holding || reader.load() != std::this_thread::get_id())
        return;
    held.fetch_add(1);
    const long from = renders.load();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (renders.load() < from + 3) {
        if (std::chrono::steady_clock::now() > until) {
            stalled.fetch_add(1);
            holding = false;
            return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}
}  // namespace slowreads

// The engine, with a record of every request it answered.
class CountingSource final : public audio::AudioSource {
public:
    explicit CountingSource(synth::SynthEngine& engine) : engine_(engine) {}
    bool render(float* left, float* right, int step, int frames) override
    {
        requests.push_back(frames);
        if (duringRender)
            duringRender();
        return engine_.render(left, right, step, frames);
    }
    std::vector<int> requests;
    std::function<void()> duringRender;

private:
    synth::SynthEngine& engine_;
};

constexpr int kStep = 2;  // interleaved stereo, as the servers take it
constexpr float kAudible = 1e-4f;  // -80 dBFS: the piano's attack reaches it within the first block

float peak(const std::vector<float>& samples, int frames)
{
    float p = 0;
    for (int i = 0; i < frames * kStep; ++i)
        p = std::max(p, std::fabs(samples[static_cast<std::size_t>(i)]));
    return p;
}

audio::AudioOptions grownOptions()
{
    audio::AudioOptions o;
    o.bufferFrames = 256;
    o.maxBufferFrames = 400;
    o.growStepFrames = 64;
    return o;
}

}  // namespace

class TestAudioPump : public QObject {
    Q_OBJECT
    std::unique_ptr<synth::SynthEngine> engine;
    audio::AudioOptions options;

    // Asks for `frames` frames; true when the pump says rest.
    bool ask(audio::AudioPump& pump, int frames, std::vector<float>* out = nullptr)
    {
        std::vector<float> local;
        std::vector<float>& buffer = out ? *out : local;
        buffer.assign(static_cast<std::size_t>(frames * kStep), 0.0f);
        return pump.pump(buffer.data(), buffer.data() + 1, kStep, frames);
    }

    // Asks in blocks until the pump rests; the number of frames it took.
    long framesUntilRest(audio::AudioPump& pump, long limit)
    {
        long frames = 0;
        while (frames < limit) {
            frames += audio::kSynthBlockFrames;
            if (ask(pump, audio::kSynthBlockFrames))
                return frames;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        std::string why;
        engine = synthtest::offlineEngine(&why);
        if (!engine)
            QSKIP(why.c_str());
    }
    void init() { synthtest::silence(*engine); }

    void rendersExactlyWhatIsAsked_data()
    {
        QTest::addColumn<QList<int>>("asks");
        QTest::newRow("one block") << QList<int>{64};
        QTest::newRow("blocks of a PulseAudio request") << QList<int>{64, 128, 192, 64};
        QTest::newRow("PipeWire quanta") << QList<int>{256, 256, 1024};
        QTest::newRow("a cycle not of whole blocks") << QList<int>{100, 28, 300};
    }
    void rendersExactlyWhatIsAsked()
    {
        QFETCH(QList<int>, asks);
        CountingSource source(*engine);
        audio::AudioPump pump(source, options);
        for (int frames : asks) {
            // Past the frames asked for, the server's buffer must stay as it was.
            std::vector<float> buffer(static_cast<std::size_t>((frames + 64) * kStep),
                                      std::numeric_limits<float>::quiet_NaN());
            (void)pump.pump(buffer.data(), buffer.data() + 1, kStep, frames);
            QVERIFY(std::none_of(buffer.begin(), buffer.begin() + frames * kStep, [](float v) { return std::isnan(v); }));
            QVERIFY(std::all_of(buffer.begin() + frames * kStep, buffer.end(), [](float v) { return std::isnan(v); }));
        }
        QCOMPARE(QList<int>(source.requests.begin(), source.requests.end()), asks);
    }

    void noteBetweenRequestsIsInTheNext()
    {
        CountingSource source(*engine);
        audio::AudioPump pump(source, options);
        std::vector<float> out;
        (void)ask(pump, 256, &out);
        QCOMPARE(peak(out, 256), 0.0f);
        QCOMPARE(engine->play(midi::noteOn(60)), synth::Played::ok);
        (void)pump.wake();
        (void)ask(pump, audio::kSynthBlockFrames, &out);
        QVERIFY2(peak(out, audio::kSynthBlockFrames) > kAudible, "the note is not in the first block after it");
    }

    void restsAfterSilenceAndWakesOnAMessage()
    {
        CountingSource source(*engine);
        audio::AudioPump pump(source, options);
        const long idleFrames = std::lround(options.idleSeconds * options.sampleRate);
        const long took = framesUntilRest(pump, 10 * idleFrames);
        QVERIFY(took >= idleFrames && took < idleFrames + audio::kSynthBlockFrames);
        QVERIFY(pump.resting());
        QVERIFY(pump.wake());
        QVERIFY(!pump.wake());  // only the first message resumes the output
        QVERIFY(!pump.resting());

        // A sounding note keeps it awake until the note has died away.
        QCOMPARE(engine->play(midi::noteOn(84)), synth::Played::ok);
        (void)pump.wake();
        QVERIFY(framesUntilRest(pump, 2 * idleFrames) < 0);
    }

    // The message comes from another thread while the pump is deciding:
    // resting then would leave that note unplayed until the next one.
    void noRestWhenAMessageComesMeanwhile()
    {
        CountingSource source(*engine);
        audio::AudioPump pump(source, options);
        const long idleFrames = std::lround(options.idleSeconds * options.sampleRate);
        const long blocksToRest = (idleFrames + audio::kSynthBlockFrames - 1) / audio::kSynthBlockFrames;
        source.duringRender = [&] {
            if (static_cast<long>(source.requests.size()) == blocksToRest)
                (void)pump.wake();
        };
        for (long i = 0; i < blocksToRest; ++i)
            QVERIFY(!ask(pump, audio::kSynthBlockFrames));
        QVERIFY(!pump.resting());
        QVERIFY(framesUntilRest(pump, 2 * idleFrames) >= idleFrames);
    }

    // An instrument change reads its samples from disk on the thread that
    // plays, holding the synthesizer's lock. The audio thread renders on
    // meanwhile, and an error it logs then is its own: the change still
    // succeeds, and the error is reported by the thread that plays.
    void rendersOnWhileAnInstrumentLoads_data()
    {
        QTest::addColumn<int>("program");
        QTest::newRow("tubular bells") << 14;
        QTest::newRow("clavinet") << 7;
        QTest::newRow("music box") << 10;
    }
    void rendersOnWhileAnInstrumentLoads()
    {
        QFETCH(int, program);
        constexpr char kAudioError[] = "an error of the audio thread";
        audio::AudioPump pump(*engine, options);
        NoSoundReports reports;
        const long heldBefore = slowreads::held;
        const long stalledBefore = slowreads::stalled;
        std::atomic<bool> running{true};
        std::chrono::steady_clock::duration longest{};
        std::thread audioThread([&] {
            // As the program's audio thread runs: real-time where allowed,
            // a request every millisecond.
            audio::makeRealtime(audio::currentThreadId());
            std::vector<float> buffer(256 * kStep);
            bool logged = false;
            for (; running; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
                if (!logged && slowreads::held > heldBefore) {
                    fluid_log(FLUID_ERR, kAudioError);
                    logged = true;
                }
                const auto start = std::chrono::steady_clock::now();
                (void)pump.pump(buffer.data(), buffer.data() + 1, kStep, 256);
                longest = std::max(longest, std::chrono::steady_clock::now() - start);
                slowreads::renders.fetch_add(1);
            }
        });
        slowreads::reader = std::this_thread::get_id();
        slowreads::holding = true;
        const synth::Played played = engine->play(midi::programChange(static_cast<std::uint32_t>(program)));
        slowreads::holding = false;
        running = false;
        audioThread.join();

        QVERIFY2(slowreads::held > heldBefore, "the change read nothing from disk");
        QCOMPARE(slowreads::stalled.load(), stalledBefore);
        qInfo("longest render of 256 frames: %.2f ms",
              std::chrono::duration<double, std::milli>(longest).count());
        QCOMPARE(played, synth::Played::ok);
        QCOMPARE(reports, (std::vector<std::string>{kAudioError}));
        std::vector<float> out;
        QCOMPARE(engine->play(midi::noteOn(60)), synth::Played::ok);
        (void)ask(pump, 1024, &out);
        QVERIFY2(peak(out, 1024) > kAudible, "the new instrument does not sound");
    }

    // Events "u<ms>" (an underflow) and "s<ms>" (audio asked for), and the
    // buffer after each: 256 at the start, steps of 64, 400 at most.
    void bufferSettlesWhereTheMachineSustainsIt_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QList<int>>("frames");
        QTest::newRow("a step for each stall") << QStringList{"u0", "u500", "u1500", "u1600"} << QList<int>{320, 320, 384, 384};
        QTest::newRow("no more than the cap") << QStringList{"u0", "u2000", "u4000", "u6000"} << QList<int>{320, 384, 400, 400};
        QTest::newRow("down after a steady stretch, not below the start")
            << QStringList{"u0", "u2000", "s20000", "s32000", "s40000", "s62000", "s99000"}
            << QList<int>{320, 384, 384, 320, 320, 256, 256};
        QTest::newRow("an underflow starts the wait again")
            << QStringList{"u0", "u25000", "s40000", "s55000"} << QList<int>{320, 384, 384, 320};
    }
    void bufferSettlesWhereTheMachineSustainsIt()
    {
        QFETCH(QStringList, events);
        QFETCH(QList<int>, frames);
        const auto start = audio::BufferTarget::Clock::now();
        audio::BufferTarget target(grownOptions(), start);
        QCOMPARE(target.frames(), 256);
        for (qsizetype i = 0; i < events.size(); ++i) {
            const auto at = start + std::chrono::milliseconds(events[i].mid(1).toInt());
            (void)(events[i].startsWith('u') ? target.underflow(at) : target.settle(at));
            QVERIFY2(target.frames() == frames[i], qPrintable(events[i] + ": " + QString::number(target.frames())));
        }
    }
};

// In place of the C library's, which the synthesizer's library reads the
// SoundFont's samples with: this program's own definition comes first.
extern "C" std::size_t fread(void* buffer, std::size_t size, std::size_t count, FILE* file)
{
    using Fread = std::size_t (*)(void*, std::size_t, std::size_t, FILE*);
    static const auto real = reinterpret_cast<Fread>(dlsym(RTLD_NEXT, "fread"));
    slowreads::wait();
    return real(buffer, size, count, file);
}

QTEST_APPLESS_MAIN(TestAudioPump)
#include "tst_audio_pump.moc"
