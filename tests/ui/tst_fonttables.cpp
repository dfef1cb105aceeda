// A table added to the key font: the font still loads, every table it had
// reads as before, the new one as added, and the file's checksum holds.

#include "ui/FontTables.h"

#include <QFile>
#include <QRawFont>
#include <QtEndian>
#include <QtTest>

class TestFontTables : public QObject {
    Q_OBJECT
private slots:
    void addsATable()
    {
        QFile file(QStringLiteral(":/plinkora/fonts/tahomabd.ttf"));
        if (!file.open(QIODevice::ReadOnly))
            QSKIP("no key font compiled in (Debian: fonts-wine)");
        const QByteArray font = file.readAll(), prep("\x01", 1);
        const QByteArray result = fonttables::with(font, "prep", prep);
        QCOMPARE(fonttables::with(result, "prep", "\x02"), result);  // there already

        std::uint32_t sum = 0;
        for (qsizetype i = 0; i + 4 <= result.size(); i += 4)
            sum += qFromBigEndian<std::uint32_t>(result.constData() + i);
        QCOMPARE(sum, 0xB1B0AFBAu);
        const QRawFont before(font, 14), after(result, 14);
        QCOMPARE(after.fontTable("prep"), prep);
        for (const char* tag : {"cmap", "glyf", "loca", "hmtx", "OS/2", "gasp", "name", "EBDT"})
            QVERIFY2(!before.fontTable(tag).isEmpty() && after.fontTable(tag) == before.fontTable(tag), tag);
    }
};

QTEST_MAIN(TestFontTables)
#include "tst_fonttables.moc"
