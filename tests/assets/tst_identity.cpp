// The files that name the program to the desktop: the Linux desktop entry and
// AppStream metainfo, checked by their validators, and the Windows resource
// script, compiled by the MinGW resource compiler and read back.

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

    // Compiles the configured script and decompiles the result: what comes
    // back is what Windows will read from Plinkora.exe.
    void windowsResourcesCompile()
    {
        const QString windres = QStandardPaths::findExecutable(kWindres);
        const QString cpp = QStandardPaths::findExecutable("cpp");
        if (windres.isEmpty() || cpp.isEmpty())
            QSKIP(qPrintable(kWindres + " or cpp is not installed"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString res = dir.filePath("plinkora.res");
        const Run compiled = run(windres, {"--preprocessor=" + cpp, "-i", PLINKORA_RC_FILE, "-O", "res", "-o", res});
        QVERIFY2(compiled.exitCode == 0, qPrintable(compiled.output));
        const Run decompiled = run(windres, {"-i", res, "-O", "rc"});
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
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
