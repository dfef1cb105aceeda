// The manual page tells what the program does: where it looks for a SoundFont,
// in which order.

#include "synth/SoundFontPath.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

class TestManual : public QObject {
    Q_OBJECT

private slots:
    void listsTheSoundFontSearchOrder()
    {
        QFile page(QStringLiteral(PLINKORA_MANUAL_SOURCE));
        QVERIFY2(page.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(page.fileName()));
        // The FILES section lists them as a numbered list: ". /path (comment)".
        QStringList listed;
        const QRegularExpression item(QStringLiteral("^\\. (/\\S+)"), QRegularExpression::MultilineOption);
        for (const auto& match : item.globalMatch(QString::fromUtf8(page.readAll())))
            listed << match.captured(1);
        QStringList searched;
        for (const char* path : synth::soundFontCandidates())
            searched << QString::fromLatin1(path);
        QCOMPARE(listed, searched);
    }
};

QTEST_GUILESS_MAIN(TestManual)
#include "tst_manual.moc"
