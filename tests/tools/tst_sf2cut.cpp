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

void put(QByteArray& file, qsizetype at, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        file[at + i] = static_cast<char>(value >> (8 * i));
}

// The first preset zone's instrument generator.
qsizetype instrumentGenerator(const QByteArray& file, qsizetype pgen)
{
    for (qsizetype at = pgen + 8;; at += 4)
        if (qFromLittleEndian<quint16>(file.constData() + at) == 41)
            return at;
}

using Chunks = std::map<QByteArray, qsizetype>;
struct Damage {
    const char* name;
    void (*apply)(QByteArray& file, const Chunks& at);
};
const Damage kDamages[] = {
    {"empty file", [](QByteArray& f, const Chunks&) { f.clear(); }},
    {"cut inside the RIFF header", [](QByteArray& f, const Chunks&) { f.truncate(10); }},
    {"cut inside the sample data", [](QByteArray& f, const Chunks&) { f.truncate(f.size() / 2); }},
    {"cut inside the preset data", [](QByteArray& f, const Chunks&) { f.chop(100); }},
    {"RIFF size past the end", [](QByteArray& f, const Chunks&) { put(f, 4, static_cast<quint32>(f.size()), 4); }},
    {"pdta list past the RIFF chunk", [](QByteArray& f, const Chunks& at) { put(f, at.at("pdta") + 4, 1u << 30, 4); }},
    {"smpl chunk past its list", [](QByteArray& f, const Chunks& at) { put(f, at.at("smpl") + 4, 1u << 30, 4); }},
    {"pbag not whole records", [](QByteArray& f, const Chunks& at) {
         put(f, at.at("pbag") + 4, qFromLittleEndian<quint32>(f.constData() + at.at("pbag") + 4) - 1, 4); }},
    {"preset bag index going back", [](QByteArray& f, const Chunks& at) { put(f, at.at("phdr") + 8 + 24, 0xFFFF, 2); }},
    {"instrument past the instruments", [](QByteArray& f, const Chunks& at) {
         put(f, instrumentGenerator(f, at.at("pgen")) + 2, 0x7FFF, 2); }},
    {"sample past the sample data", [](QByteArray& f, const Chunks& at) { put(f, at.at("shdr") + 8 + 24, 0xFFFFFFF0, 4); }},
};

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

    void refusesDamagedInput_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<QStringList>("options");
        for (int i = 0; i < int(std::size(kDamages)); ++i)
            QTest::newRow(kDamages[i].name) << i << QStringList();
        QTest::newRow("a program the file lacks") << -1 << QStringList{"--programs", "0,1"};
    }
    // A status, one line saying why, and the output as it was.
    void refusesDamagedInput()
    {
        QFETCH(int, damage);
        QFETCH(QStringList, options);
        QByteArray input = ownBytes;
        if (damage >= 0)
            kDamages[damage].apply(input, chunks(input, 12, input.size()));
        QFile in(path("damaged.sf2")), out(path("out.sf2"));
        QVERIFY(in.open(QIODevice::WriteOnly | QIODevice::Truncate) && in.write(input) == input.size());
        in.close();
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write("before") == 6);
        out.close();

        QString errors;
        QCOMPARE(cutter(options + QStringList{in.fileName(), out.fileName()}, &errors), 1);
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.startsWith("plinkora-sf2cut: "), qPrintable(errors));
        qInfo("%s", qPrintable(errors.trimmed()));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), QByteArray("before"));
        QVERIFY(!QFile::exists(out.fileName() + ".part"));
    }
};

QTEST_GUILESS_MAIN(TestSf2Cut)
#include "tst_sf2cut.moc"
