// What the embedded synthesizer actually plays, rendered offline with the
// SoundFont the program picks.

#include "Analysis.h"
#include "Notes.h"
#include "SynthFixture.h"
#include "ui/KeyboardMap.h"

#include <QTest>


namespace {

constexpr double kMaxDieAwaySeconds = 60.0;
constexpr double kSilentDbfs = -90.0;
constexpr double kBlockSeconds = 0.5;
// The FluidR3 piano is up to ~31 cents sharp; a quarter tone still names the note.
constexpr double kPitchToleranceCents = 50.0;

}  // namespace

class TestSynthRender : public QObject {
    Q_OBJECT
    std::unique_ptr<synth::SynthEngine> engine;

private slots:
    void initTestCase()
    {
        std::string why;
        engine = synthtest::offlineEngine(&why);
        if (!engine)
            QSKIP(qPrintable(QString::fromStdString(why)));
    }

    void pianoSoundsAtTheKeysPitch_data()
    {
        QTest::addColumn<int>("note");
        QTest::newRow("C3, lowest key") << 48;
        QTest::newRow("C4") << 60;
        QTest::newRow("B5, highest key") << 83;
    }
    void pianoSoundsAtTheKeysPitch()
    {
        QFETCH(int, note);
        synthtest::strike(*engine, 0, note);
        const analysis::Audio sound = synthtest::render(*engine, 0.5);
        const auto pitch = analysis::pitchAt(sound, 0.05);
        QVERIFY(pitch);
        const double cents = analysis::centsBetween(pitch->hz, analysis::noteToHz(note));
        QVERIFY2(std::abs(cents) < kPitchToleranceCents,
                 qPrintable(QString("heard %1 Hz (note %2 %3 cents)").arg(pitch->hz).arg(pitch->note).arg(pitch->cents)));
        qInfo("note %d: %.2f Hz, %+.1f cents", note, pitch->hz, cents);
    }

    // Channels get their General MIDI instrument when first used, not at
    // start-up; every channel must still sound from its first message, the
    // tenth with the drum kit (its middle C is a snare, not a pitched note).
    void everyChannelSoundsFromItsFirstMessage()
    {
        auto fresh = synthtest::offlineEngine(nullptr);
        QVERIFY(fresh);
        for (std::uint32_t channel = 0; channel < 16; ++channel) {
            synthtest::silence(*fresh);
            QCOMPARE(fresh->play(0x00643C90u | channel), synth::Played::ok);
            const analysis::Audio sound = synthtest::render(*fresh, 0.3);
            QVERIFY2(analysis::peakDb(sound, 0.0, 0.3) > -40.0, qPrintable(QString("channel %1 silent").arg(channel + 1)));
            const auto pitch = analysis::pitchAt(sound, 0.05);
            if (channel != 9)
                QVERIFY2(pitch && pitch->note == 60, qPrintable(QString("channel %1").arg(channel + 1)));
        }
    }

    // Notes are never ended, so every instrument must fall silent by itself.
    void everyInstrumentDiesAwayWithoutNoteOff_data()
    {
        QTest::addColumn<int>("program");
        QTest::addColumn<int>("note");
        for (int program : keymap::kFunctionKeyPrograms)
            for (int note : {48, 83})
                QTest::addRow("program %d note %d", program, note) << program << note;
    }
    void everyInstrumentDiesAwayWithoutNoteOff()
    {
        QFETCH(int, program);
        QFETCH(int, note);
        synthtest::strike(*engine, program, note);
        double elapsed = 0.0;
        bool heard = false;
        while (elapsed < kMaxDieAwaySeconds) {
            const analysis::Audio block = synthtest::render(*engine, kBlockSeconds);
            elapsed += kBlockSeconds;
            const bool silent = analysis::peakDb(block, 0.0, block.duration()) < kSilentDbfs;
            heard = heard || !silent;
            if (engine->activeVoices() == 0 || (heard && silent))
                break;
        }
        QVERIFY2(heard, "the note never sounded");
        QVERIFY2(elapsed < kMaxDieAwaySeconds, qPrintable(QString("still sounding after %1 s").arg(elapsed)));
        qInfo("program %3d note %d: silent after %.1f s", program, note, elapsed);
    }
};

QTEST_APPLESS_MAIN(TestSynthRender)
#include "tst_synth_render.moc"
