// A table added to a font file: the font still loads, every table it had
// reads as before, the new one reads as added, and the file's checksum holds.
// What is no font, or has the table already, comes back untouched.

#include "ui/FontTables.h"

#include <QFile>
#include <QFontDatabase>
#include <QRawFont>
#include <QtEndian>
#include <QtTest>

namespace {

const QString kFont = QStringLiteral(":/plinkora/fonts/tahomabd.ttf");

QByteArray fontFile()
{
    QFile file(kFont);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t wholeFileChecksum(const QByteArray& font)
{
    std::uint32_t sum = 0;
    for (qsizetype i = 0; i + 4 <= font.size(); i += 4)
        sum += qFromBigEndian<std::uint32_t>(font.constData() + i);
    return sum;
}

}  // namespace

class TestFontTables : public QObject {
    Q_OBJECT
private slots:
    void addsATable()
    {
        const QByteArray font = fontFile();
        if (font.isEmpty())
            QSKIP("no key font compiled in (Debian: fonts-wine)");
        const QByteArray prep("\x01", 1);
        const QByteArray result = fonttables::with(font, "prep", prep);
        QVERIFY(!fonttables::has(font, "prep") && fonttables::has(result, "prep"));
        QCOMPARE(result.size() % 4, 0);
        QCOMPARE(wholeFileChecksum(result), 0xB1B0AFBAu);

        const QRawFont before(font, 14), after(result, 14);
        QVERIFY(after.isValid());
        QCOMPARE(after.fontTable("prep"), prep);
        for (const char* tag : {"cmap", "glyf", "loca", "hmtx", "OS/2", "gasp", "name", "EBDT"})
            QVERIFY2(!before.fontTable(tag).isEmpty() && after.fontTable(tag) == before.fontTable(tag), tag);
        QVERIFY(QFontDatabase::addApplicationFontFromData(result) >= 0);
    }

    void leavesOthersAlone_data()
    {
        QTest::addColumn<QByteArray>("input");
        const QByteArray font = fontFile();
        QTest::newRow("no font") << QByteArray("not a font at all");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("directory cut short") << font.left(40);
        QTest::newRow("table already there") << fonttables::with(font, "prep", QByteArray("\x01", 1));
    }

    void leavesOthersAlone()
    {
        QFETCH(QByteArray, input);
        QCOMPARE(fonttables::with(input, "prep", QByteArray("\x02", 1)), input);
    }
};

QTEST_MAIN(TestFontTables)
#include "tst_fonttables.moc"
