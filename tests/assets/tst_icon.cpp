// The program icon: the .ico's directory and bitmap headers, its pixels
// against the PNGs, and assets::programIcon().

#include "resources/Assets.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QImageReader>
#include <QtTest>

#include <algorithm>
#include <array>

namespace {

const QString kResources = QStringLiteral(PLINKORA_RESOURCES_DIR);
constexpr int kImages = 6;
constexpr int kDirectoryBytes = 6 + 16 * kImages;
constexpr std::array kPngSizes{16, 32, 48, 128, 256};

struct DirectoryEntry {
    quint8 width, height, colours, reserved;
    quint16 planes, bitCount;
    quint32 bytes, offset;
};

struct BitmapInfoHeader {
    quint32 size;
    qint32 width, height;
    quint16 planes, bitCount;
    quint32 compression, imageBytes;
    qint32 xPixelsPerMeter, yPixelsPerMeter;
    quint32 coloursUsed, coloursImportant;
};

QDataStream& operator>>(QDataStream& in, DirectoryEntry& e)
{
    return in >> e.width >> e.height >> e.colours >> e.reserved >> e.planes >> e.bitCount >> e.bytes >> e.offset;
}

QDataStream& operator>>(QDataStream& in, BitmapInfoHeader& h)
{
    return in >> h.size >> h.width >> h.height >> h.planes >> h.bitCount >> h.compression >> h.imageBytes
              >> h.xPixelsPerMeter >> h.yPixelsPerMeter >> h.coloursUsed >> h.coloursImportant;
}

QByteArray icoBytes()
{
    QFile file(kResources + "/plinkora.ico");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<DirectoryEntry> readDirectory(const QByteArray& ico, quint16* type)
{
    QDataStream in(ico);
    in.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0, count = 0;
    in >> reserved >> *type >> count;
    QList<DirectoryEntry> entries(count);
    for (DirectoryEntry& e : entries)
        in >> e;
    return in.status() == QDataStream::Ok && reserved == 0 ? entries : QList<DirectoryEntry>{};
}

int rowBytes(int width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

QImage png(int size) { return QImage(kResources + QString("/icons/plinkora-%1.png").arg(size)); }

void addImageRows()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("bits");
    QTest::newRow("32x32 8-bit") << 0 << 32 << 8;
    QTest::newRow("16x16 8-bit") << 1 << 16 << 8;
    QTest::newRow("128x128 32-bit") << 2 << 128 << 32;
    QTest::newRow("48x48 32-bit") << 3 << 48 << 32;
    QTest::newRow("32x32 32-bit") << 4 << 32 << 32;
    QTest::newRow("16x16 32-bit") << 5 << 16 << 32;
}

}  // namespace

class TestIcon : public QObject {
    Q_OBJECT

private slots:
    void directoryListsSixContiguousImages()
    {
        const QByteArray ico = icoBytes();
        quint16 type = 0;
        const QList<DirectoryEntry> entries = readDirectory(ico, &type);
        QCOMPARE(type, quint16(1));
        QCOMPARE(entries.size(), kImages);
        quint32 expectedOffset = kDirectoryBytes;
        for (const DirectoryEntry& e : entries) {
            QCOMPARE(e.offset, expectedOffset);
            expectedOffset += e.bytes;
        }
        QCOMPARE(qsizetype(expectedOffset), ico.size());
    }

    void imageHeaders_data() { addImageRows(); }

    void imageHeaders()
    {
        QFETCH(int, index);
        QFETCH(int, side);
        QFETCH(int, bits);
        const QByteArray ico = icoBytes();
        quint16 type = 0;
        const QList<DirectoryEntry> entries = readDirectory(ico, &type);
        QCOMPARE(entries.size(), kImages);
        const DirectoryEntry& e = entries[index];
        QCOMPARE(int(e.width), side);
        QCOMPARE(int(e.height), side);
        QCOMPARE(int(e.colours), 0);
        QCOMPARE(int(e.planes), 1);
        QCOMPARE(int(e.bitCount), bits);

        QDataStream in(ico.mid(e.offset, e.bytes));
        in.setByteOrder(QDataStream::LittleEndian);
        BitmapInfoHeader h{};
        in >> h;
        QCOMPARE(in.status(), QDataStream::Ok);
        QCOMPARE(h.size, 40u);
        QCOMPARE(h.width, side);
        QCOMPARE(h.height, 2 * side);  // colour bitmap and AND mask
        QCOMPARE(int(h.planes), 1);
        QCOMPARE(int(h.bitCount), bits);
        QCOMPARE(h.compression, 0u);

        const int palette = bits == 8 ? 256 * 4 : 0;
        const int pixels = side * rowBytes(side, bits) + side * rowBytes(side, 1);
        QCOMPARE(int(e.bytes), 40 + palette + pixels);
    }

    // Qt's own .ico reader decodes what the directory promises, and the
    // pictures are those of the PNGs: 32-bit ones exactly, 8-bit ones up to
    // the palette and the hard edge of the mask.
    void imagesMatchThePngs_data() { addImageRows(); }

    void imagesMatchThePngs()
    {
        QFETCH(int, index);
        QFETCH(int, side);
        QFETCH(int, bits);
        if (!QImageReader::supportedImageFormats().contains("ico"))
            QSKIP("Qt's ico image plugin is not installed");
        QByteArray ico = icoBytes();
        QBuffer buffer(&ico);
        QImageReader reader(&buffer, "ico");
        QCOMPARE(reader.imageCount(), kImages);
        QVERIFY(reader.jumpToImage(index));
        const QImage decoded = reader.read().convertToFormat(QImage::Format_ARGB32);
        const QImage expected = png(side).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(decoded.size(), QSize(side, side));
        QCOMPARE(expected.size(), QSize(side, side));

        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const QRgb got = decoded.pixel(x, y), want = expected.pixel(x, y);
                const QByteArray where = QString("pixel %1,%2").arg(x).arg(y).toLatin1();
                if (bits == 32) {
                    QVERIFY2(qAlpha(got) == qAlpha(want), where.constData());
                    if (qAlpha(want) != 0)
                        QVERIFY2((got & 0xFFFFFF) == (want & 0xFFFFFF), where.constData());
                    continue;
                }
                const bool opaque = qAlpha(want) >= 128;
                QVERIFY2((qAlpha(got) == 255) == opaque, where.constData());
                if (opaque) {
                    const int spread = std::max({qAbs(qRed(got) - qRed(want)), qAbs(qGreen(got) - qGreen(want)),
                                                 qAbs(qBlue(got) - qBlue(want))});
                    QVERIFY2(spread <= kMaxPaletteError, where.constData());
                }
            }
        }
    }

    void programIconHasEverySizeOnTransparency()
    {
        const QIcon icon = assets::programIcon();
        const QList<QSize> sizes = icon.availableSizes();
        for (const int side : kPngSizes) {
            QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
            const QImage image = icon.pixmap(QSize(side, side), 1.0).toImage();
            QCOMPARE(image.size(), QSize(side, side));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(image.pixel(side - 1, side - 1)), 0);
        }
    }

private:
    static constexpr int kMaxPaletteError = 24;
};

QTEST_MAIN(TestIcon)
#include "tst_icon.moc"
