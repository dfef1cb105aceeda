// The files that name the program to the desktop: the Linux desktop entry and
// AppStream metainfo, checked by their validators, and the Windows resources,
// read back by MinGW's tools from the compiled script and from Plinkora.exe.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kResources = QStringLiteral(PLINKORA_RESOURCES_DIR);
const QString kWindres = QStringLiteral("x86_64-w64-mingw32-windres");
const QString kObjdump = QStringLiteral("x86_64-w64-mingw32-objdump");
constexpr int kToolTimeoutMs = 60000;

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return {-1, process.errorString()};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

QString releaseVersion(const QString& metainfo)
{
    QFile file(metainfo);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("release"))
            return xml.attributes().value(QLatin1String("version")).toString();
    }
    return {};
}

QString collapseSpaces(QString text) { return text.replace(QRegularExpression("\\s+"), " "); }

}  // namespace

class TestIdentity : public QObject {
    Q_OBJECT

private slots:
    void validatorsAccept_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("desktop entry")
            << "desktop-file-validate" << QStringList{kResources + "/org.plinkora.Plinkora.desktop"};
        QTest::newRow("metainfo")
            << "appstreamcli"
            << QStringList{"validate", "--no-net", kResources + "/org.plinkora.Plinkora.metainfo.xml"};
    }

    void validatorsAccept()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        const QString program = QStandardPaths::findExecutable(tool);
        if (program.isEmpty())
            QSKIP(qPrintable(tool + " is not installed"));
        const Run result = run(program, arguments);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
    }

    void metainfoNamesTheProjectVersion()
    {
        QCOMPARE(releaseVersion(kResources + "/org.plinkora.Plinkora.metainfo.xml"), QStringLiteral(PLINKORA_VERSION));
    }

    void windowsResources_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("resource script") << QStringLiteral(PLINKORA_RC_FILE);
        QTest::newRow("Plinkora.exe") << QStringLiteral(PLINKORA_WINDOWS_EXE);
    }

    // What Windows will read from Plinkora.exe: the configured script,
    // compiled and decompiled, and the built program file read back.
    void windowsResources()
    {
        QFETCH(QString, file);
        const QString windres = QStandardPaths::findExecutable(kWindres);
        const QString cpp = QStandardPaths::findExecutable("cpp");
        if (windres.isEmpty() || cpp.isEmpty())
            QSKIP(qPrintable(kWindres + " or cpp is not installed"));
        if (file.isEmpty())
            QSKIP("no Windows build (./build.sh windows, then configure with PLINKORA_WINDOWS_BUILD_DIR)");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (file.endsWith(".rc")) {
            const QString res = dir.filePath("plinkora.res");
            const Run compiled = run(windres, {"--preprocessor=" + cpp, "-i", file, "-O", "res", "-o", res});
            QVERIFY2(compiled.exitCode == 0, qPrintable(compiled.output));
            file = res;
        }
        const Run decompiled = run(windres, {"-i", file, "-O", "rc"});
        QVERIFY2(decompiled.exitCode == 0, qPrintable(decompiled.output));

        const QString script = collapseSpaces(decompiled.output);
        const QStringList expected{
            "LANGUAGE 4, 2",
            "Has 6 elements",
            "FILEVERSION 1, 20, 0, 0",
            "PRODUCTVERSION 1, 20, 0, 0",
            "BLOCK \"080404B0\"",
            "VALUE \"CompanyName\", \"plinkora.org\"",
            "VALUE \"FileDescription\", \"Plinkora\"",
            "VALUE \"FileVersion\", \"1.20\"",
            "VALUE \"InternalName\", \"Plinkora\"",
            "VALUE \"OriginalFilename\", \"Plinkora.exe\"",
            "VALUE \"ProductName\", \"Plinkora\"",
            "VALUE \"ProductVersion\", \"1.20\"",
            "VALUE \"Translation\", 0x804, 1200",
        };
        for (const QString& line : expected)
            QVERIFY2(script.contains(line), qPrintable("missing: " + line));
    }

    // A GUI program (no console window) that finds winmm.dll only when it
    // first plays, so that a system without it still starts.
    void windowsProgramFile()
    {
        const QString objdump = QStandardPaths::findExecutable(kObjdump);
        if (objdump.isEmpty())
            QSKIP(qPrintable(kObjdump + " is not installed"));
        if (QStringLiteral(PLINKORA_WINDOWS_EXE).isEmpty())
            QSKIP("no Windows build (./build.sh windows, then configure with PLINKORA_WINDOWS_BUILD_DIR)");
        const Run headers = run(objdump, {"-p", PLINKORA_WINDOWS_EXE});
        QVERIFY2(headers.exitCode == 0, qPrintable(headers.output));
        const QString text = collapseSpaces(headers.output);
        QVERIFY2(text.contains("Subsystem 00000002 (Windows GUI)"), "not a GUI program");
        QVERIFY2(text.contains("DLL Name: KERNEL32.dll"), "no import table read");
        QVERIFY2(!text.contains("DLL Name: winmm.dll", Qt::CaseInsensitive), "imports winmm.dll at load time");
    }
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
