// The analysis on signals whose answers are known by construction.

#include "Analysis.h"
#include "Notes.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>

using namespace analysis;

namespace {

constexpr double kRate = 48000.0;

// Adds a tone of `partials` (amplitude of harmonic 1, 2, ...) that starts at
// `start` and decays by `decayPerSecond` (0: steady).
void addTone(Audio& a, double hz, std::vector<double> partials, double start, double decayPerSecond = 0.0)
{
    for (std::size_t i = a.indexAt(start); i < a.samples.size(); ++i) {
        const double t = static_cast<double>(i) / a.rate - start;
        const double envelope = std::exp(-decayPerSecond * t);
        double v = 0.0;
        for (std::size_t h = 0; h < partials.size(); ++h)
            v += partials[h] * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(h + 1) * t + 0.3 * h);
        a.samples[i] += static_cast<float>(envelope * v);
    }
}

Audio silence(double seconds)
{
    Audio a;
    a.rate = kRate;
    a.samples.assign(static_cast<std::size_t>(seconds * kRate), 0.0f);
    return a;
}

// A piano-like spectrum: partials falling off as 1/h, scaled to peak near 0.5.
std::vector<double> pianoLike(int count = 12)
{
    std::vector<double> p;
    for (int h = 1; h <= count; ++h)
        p.push_back(0.15 / h);
    return p;
}

}  // namespace

class TestAudioAnalysis : public QObject {
    Q_OBJECT
private slots:
    void pitch_data()
    {
        QTest::addColumn<double>("hz");
        QTest::addColumn<std::vector<double>>("partials");
        QTest::addColumn<int>("note");
        QTest::addColumn<double>("cents");

        QTest::newRow("A4 sine") << 440.0 << std::vector<double>{0.5} << 69 << 0.0;
        QTest::newRow("C4 sine 31 cents sharp") << noteToHz(60.31) << std::vector<double>{0.5} << 60 << 31.0;
        QTest::newRow("C3 weak fundamental") << noteToHz(48) << std::vector<double>{0.02, 0.3, 0.25, 0.2, 0.15, 0.1, 0.08}
                                             << 48 << 0.0;
        QTest::newRow("C2 piano-like") << noteToHz(36) << pianoLike(20) << 36 << 0.0;
        QTest::newRow("B5 piano-like") << noteToHz(83) << pianoLike() << 83 << 0.0;
        QTest::newRow("G3 odd partials only") << noteToHz(55) << std::vector<double>{0.3, 0, 0.2, 0, 0.12, 0, 0.08} << 55
                                              << 0.0;
    }
    void pitch()
    {
        QFETCH(double, hz);
        QFETCH(std::vector<double>, partials);
        QFETCH(int, note);
        QFETCH(double, cents);

        Audio a = silence(0.5);
        addTone(a, hz, partials, 0.0);
        const auto p = pitchAt(a, 0.1);
        QVERIFY(p);
        QCOMPARE(p->note, note);
        QVERIFY2(std::abs(p->cents - cents) < 2.0, qPrintable(QString("cents %1").arg(p->cents)));
    }

    void silenceHasNoPitch() { QVERIFY(!pitchAt(silence(0.5), 0.1)); }

    // A held note, then a second one: what rose is the second, also where
    // every partial of one is a partial of the other.
    void noteThatRose_data()
    {
        QTest::addColumn<int>("second");
        QTest::newRow("semitone up") << 61;
        QTest::newRow("fifth up") << 67;
        QTest::newRow("octave up") << 72;
        QTest::newRow("octave down") << 48;
        QTest::newRow("same note") << 60;
    }
    void noteThatRose()
    {
        QFETCH(int, second);
        Audio a = silence(2.0);
        addTone(a, noteToHz(60), pianoLike(), 0.2, 1.0);
        addTone(a, noteToHz(second), pianoLike(), 1.0, 1.0);

        const auto first = analysis::noteThatRose(a, 0.2);
        QVERIFY(first);
        QCOMPARE(first->note, 60);
        const auto rose = analysis::noteThatRose(a, 1.0);
        QVERIFY(rose);
        QCOMPARE(rose->note, second);
    }

    void onset_data()
    {
        QTest::addColumn<double>("earlierNoteAmplitude");
        QTest::newRow("from silence") << 0.0;
        QTest::newRow("over a quieter note") << 0.05;
    }
    void onset()
    {
        QFETCH(double, earlierNoteAmplitude);
        Audio a = silence(1.5);
        std::mt19937 random(3);
        std::normal_distribution<float> hiss(0.0f, 1e-5f);  // -100 dBFS
        for (float& s : a.samples)
            s += hiss(random);
        addTone(a, noteToHz(55), {earlierNoteAmplitude}, 0.2, 0.5);
        addTone(a, noteToHz(64), pianoLike(), 1.0);

        const auto t = findOnset(a, 0.6);
        QVERIFY(t);
        QVERIFY2(*t >= 1.0 && *t < 1.002, qPrintable(QString::number(*t, 'f', 5)));
    }

    // A sine and a rich tone at one pitch must differ more than two rich tones
    // a fifth apart.
    void timbre()
    {
        auto profileOf = [](int note, const std::vector<double>& partials) {
            Audio a = silence(0.5);
            addTone(a, noteToHz(note), partials, 0.0);
            return timbreProfile(spectrumAt(a, 0.1), noteToHz(note));
        };
        const double sameInstrument = timbreDistance(profileOf(60, pianoLike()), profileOf(67, pianoLike()));
        const double otherInstrument = timbreDistance(profileOf(60, pianoLike()), profileOf(60, {0.3}));
        QVERIFY2(otherInstrument > 3.0 * sameInstrument,
                 qPrintable(QString("same %1, other %2").arg(sameInstrument).arg(otherInstrument)));
    }

    void readFiles()
    {
        QTemporaryDir dir;
        const std::string raw = dir.filePath("stereo.f32").toStdString();
        const float frames[] = {0.5f, -0.25f, 1.0f, 0.0f};
        std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(frames), sizeof frames);
        const auto mixed = readAudio(raw, RawFormat{});
        QVERIFY(mixed);
        QCOMPARE(mixed->samples, (std::vector<float>{0.125f, 0.5f}));

        const std::string wav = dir.filePath("mono.wav").toStdString();
        QVERIFY(writeWav(wav, *mixed));
        const auto back = readAudio(wav, RawFormat{});
        QVERIFY(back);
        QCOMPARE(back->rate, kRate);
        QCOMPARE(back->samples.size(), std::size_t{2});
        QVERIFY(std::abs(back->samples[1] - 0.5f) < 1e-4f);
    }
};

QTEST_APPLESS_MAIN(TestAudioAnalysis)
#include "tst_audio_analysis.moc"
