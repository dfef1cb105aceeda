// The piano's own SoundFont and the cutter that makes it: the cut file plays
// the twelve instruments sample for sample as the full one does and holds
// nothing else; a damaged input is refused in one line, leaving no file.

#include "midi/ShortMessage.h"
#include "synth/SoundFontPath.h"
#include "synth/SynthEngine.h"
#include "ui/KeyboardMap.h"

#include <fluidsynth.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace {

const QString kCutter = QStringLiteral(PLINKORA_SF2CUT);
const std::string kOwn = PLINKORA_BUILD_SOUNDFONT;
const std::string kFull = PLINKORA_SOURCE_SOUNDFONT;
// Half a second a note: the attack and, for most samples, their loop.
constexpr int kFrames = 24000;

std::unique_ptr<synth::SynthEngine> offline(const std::string& soundFont)
{
    synth::SynthConfig config;
    config.soundFont = soundFont;
    return synth::SynthEngine::create(config, nullptr, nullptr);
}

// Both channels of `note` on `program`, struck over silence.
std::vector<float> play(synth::SynthEngine& engine, int program, int note)
{
    engine.play(midi::pack(0xB0, 120));  // All Sound Off
    engine.play(midi::programChange(static_cast<std::uint32_t>(program)));
    engine.play(midi::noteOn(static_cast<std::uint32_t>(note)));
    std::vector<float> out(2 * kFrames);
    engine.render(out.data(), out.data() + kFrames, kFrames);
    return out;
}

// Where each chunk's header starts; a LIST is named by its list type.
std::map<QByteArray, qsizetype> chunks(const QByteArray& file, qsizetype from, qsizetype to)
{
    std::map<QByteArray, qsizetype> found;
    while (from + 12 <= to) {
        const QByteArray id = file.mid(from, 4);
        const auto size = qFromLittleEndian<quint32>(file.constData() + from + 4);
        const bool list = id == "LIST";
        found[list ? file.mid(from + 8, 4) : id] = from;
        if (list)
            found.merge(chunks(file, from + 12, from + 8 + size));
        from += 8 + size + (size & 1);
    }
    return found;
}

constexpr qint64 kWhole = std::numeric_limits<qint64>::max();

// Adds `add` to the little-endian field of `width` bytes at `at`.
void add(QByteArray& file, qsizetype at, int width, qint64 add)
{
    quint64 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<quint8>(file[at + i]);
    value += static_cast<quint64>(add);
    for (int i = 0; i < width; ++i)
        file[at + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

class TestSf2Cut : public QObject {
    Q_OBJECT
    std::unique_ptr<synth::SynthEngine> full, own;
    QByteArray ownBytes;
    QTemporaryDir dir;

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    int cutter(const QStringList& arguments, QString* errors = nullptr)
    {
        QProcess process;
        process.start(kCutter, arguments);
        process.waitForFinished(60000);
        if (errors)
            *errors = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        if (!QFile::exists(QString::fromStdString(kFull)))
            QSKIP("no full SoundFont to compare with");
        QFile file(QString::fromStdString(kOwn));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        ownBytes = file.readAll();
        full = offline(kFull);
        own = offline(kOwn);
        QVERIFY(full && own);
    }

    // The program run from the build tree finds the file where it is made.
    void programFindsItInTheBuildTree()
    {
        QCOMPARE(synth::ownSoundFont(PLINKORA_PROGRAM_DIR), kOwn);
    }

    void playsAsTheFullSoundFont_data()
    {
        QTest::addColumn<int>("program");
        for (int program : keymap::kFunctionKeyPrograms)
            QTest::addRow("program %d", program) << program;
    }
    void playsAsTheFullSoundFont()
    {
        QFETCH(int, program);
        for (int note = 48; note <= 83; ++note) {
            const std::vector<float> expected = play(*full, program, note);
            const std::vector<float> heard = play(*own, program, note);
            const auto differs = std::mismatch(heard.begin(), heard.end(), expected.begin());
            QVERIFY2(differs.first == heard.end(),
                     qPrintable(QString("note %1 differs from frame %2").arg(note).arg((differs.first - heard.begin()) % kFrames)));
            const float peak = std::abs(*std::max_element(heard.begin(), heard.end(),
                                                          [](float a, float b) { return std::abs(a) < std::abs(b); }));
            QVERIFY2(peak > 1e-3f, qPrintable(QString("note %1 is silent").arg(note)));
        }
    }

    void holdsOnlyTheFunctionKeysPrograms()
    {
        std::set<std::pair<int, int>> presets;  // bank, program
        fluid_sfont_t* soundFont = fluid_synth_get_sfont(own->synth(), 0);
        fluid_sfont_iteration_start(soundFont);
        while (fluid_preset_t* preset = fluid_sfont_iteration_next(soundFont))
            presets.insert({fluid_preset_get_banknum(preset), fluid_preset_get_num(preset)});
        std::set<std::pair<int, int>> expected;
        for (int program : keymap::kFunctionKeyPrograms)
            expected.insert({0, program});
        QVERIFY(presets == expected);
    }

    // Reading and writing keep every record: the cut of a cut is the same file.
    void cuttingAgainChangesNothing()
    {
        QCOMPARE(cutter({QString::fromStdString(kOwn), path("again.sf2")}), 0);
        QFile again(path("again.sf2"));
        QVERIFY(again.open(QIODevice::ReadOnly));
        QVERIFY(again.readAll() == ownBytes);
    }

    // The file kept up to `keep` bytes (negative: all but that many), and a
    // size or index changed: `add` added to the field `offset` bytes after
    // the start of `chunk` (negative: before its end).
    void refusesDamagedInput_data()
    {
        QTest::addColumn<qint64>("keep");
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("width");
        QTest::addColumn<qint64>("add");
        QTest::addColumn<QStringList>("options");
        const QStringList none;
        QTest::newRow("empty file") << 0LL << QByteArray() << 0 << 0 << 0LL << none;
        QTest::newRow("cut inside the RIFF header") << 10LL << QByteArray() << 0 << 0 << 0LL << none;
        QTest::newRow("cut inside the sample data") << 1000000LL << QByteArray() << 0 << 0 << 0LL << none;
        QTest::newRow("cut inside the preset data") << -100LL << QByteArray() << 0 << 0 << 0LL << none;
        QTest::newRow("RIFF size past the end") << kWhole << QByteArray("RIFF") << 4 << 4 << 2LL << none;
        QTest::newRow("pdta list past the RIFF chunk") << kWhole << QByteArray("pdta") << 4 << 4 << (1LL << 30) << none;
        QTest::newRow("smpl chunk past its list") << kWhole << QByteArray("smpl") << 4 << 4 << (1LL << 30) << none;
        QTest::newRow("pbag not whole records") << kWhole << QByteArray("pbag") << 4 << 4 << -1LL << none;
        QTest::newRow("preset bag index going back") << kWhole << QByteArray("phdr") << 8 + 24 << 2 << -1LL << none;
        // The last zone's instrument, just before the terminal generator.
        QTest::newRow("instrument past the instruments") << kWhole << QByteArray("pgen") << -6 << 2 << 0x7FFFLL << none;
        QTest::newRow("sample past the sample data") << kWhole << QByteArray("shdr") << 8 + 24 << 4 << (1LL << 31) << none;
        QTest::newRow("a program the file lacks") << kWhole << QByteArray() << 0 << 0 << 0LL << QStringList{"--programs", "0,1"};
    }
    // A status, one line saying why, and the output as it was.
    void refusesDamagedInput()
    {
        QFETCH(qint64, keep);
        QFETCH(QByteArray, chunk);
        QFETCH(int, offset);
        QFETCH(int, width);
        QFETCH(qint64, add);
        QFETCH(QStringList, options);
        QByteArray input = ownBytes;
        if (!chunk.isEmpty()) {
            auto at = chunks(input, 12, input.size());
            at["RIFF"] = 0;
            const qsizetype start = at.at(chunk);
            const auto size = qFromLittleEndian<quint32>(input.constData() + start + 4);
            ::add(input, offset >= 0 ? start + offset : start + 8 + size + offset, width, add);
        }
        if (keep != kWhole)
            input.truncate(keep >= 0 ? keep : input.size() + keep);
        QFile in(path("damaged.sf2")), out(path("out.sf2"));
        QVERIFY(in.open(QIODevice::WriteOnly | QIODevice::Truncate) && in.write(input) == input.size());
        in.close();
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write("before") == 6);
        out.close();

        QString errors;
        QCOMPARE(cutter(options + QStringList{in.fileName(), out.fileName()}, &errors), 1);
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.startsWith("plinkora-sf2cut: "), qPrintable(errors));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), QByteArray("before"));
        QVERIFY(!QFile::exists(out.fileName() + ".part"));
    }
};

QTEST_GUILESS_MAIN(TestSf2Cut)
#include "tst_sf2cut.moc"
