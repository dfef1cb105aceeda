// The banner picture: its JPEG structure at both scales, and assets::banner().

#include "resources/Assets.h"

#include <QFile>
#include <QtEndian>
#include <QtTest>

namespace {

const QString kResources = QStringLiteral(PLINKORA_RESOURCES_DIR);

// What the markers before the first scan say about a JPEG file.
struct JpegLayout {
    bool valid = false;
    bool jfifFirst = false;         // APP0 "JFIF" right after SOI
    QList<int> frameMarkers;        // every SOFn marker found
    int precision = 0, width = 0, height = 0, components = 0;
};

bool isFrameMarker(int marker)
{
    // SOF0..SOF15, except DHT (C4), JPG (C8) and DAC (CC), which share the range.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

JpegLayout readLayout(const QByteArray& data)
{
    const auto byte = [&](qsizetype i) { return static_cast<quint8>(data.at(i)); };
    const auto be16 = [&](qsizetype i) { return byte(i) << 8 | byte(i + 1); };
    JpegLayout layout;
    if (data.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return layout;
    for (qsizetype pos = 2; pos + 4 <= data.size();) {
        if (byte(pos) != 0xFF)
            return layout;
        const int marker = byte(pos + 1);
        if (marker == 0xDA) {
            layout.valid = true;
            return layout;
        }
        const int length = be16(pos + 2);
        if (length < 2 || pos + 2 + length > data.size())
            return layout;
        const QByteArray segment = data.mid(pos + 4, length - 2);
        if (pos == 2 && marker == 0xE0 && segment.startsWith(QByteArray("JFIF\0", 5)))
            layout.jfifFirst = true;
        if (isFrameMarker(marker) && segment.size() >= 6) {
            layout.frameMarkers.append(marker);
            layout.precision = static_cast<quint8>(segment.at(0));
            layout.height = qFromBigEndian<quint16>(segment.constData() + 1);
            layout.width = qFromBigEndian<quint16>(segment.constData() + 3);
            layout.components = static_cast<quint8>(segment.at(5));
        }
        pos += 2 + length;
    }
    return layout;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestBanner : public QObject {
    Q_OBJECT

private slots:
    void isBaselineJfif_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::newRow("1x") << "banner.jpg" << QSize(575, 73);
        QTest::newRow("2x") << "banner@2x.jpg" << QSize(1150, 146);
    }

    void isBaselineJfif()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        const JpegLayout layout = readLayout(readFile(kResources + '/' + file));
        QVERIFY2(layout.valid, "no scan found after well-formed markers");
        QVERIFY(layout.jfifFirst);
        QCOMPARE(layout.frameMarkers, QList<int>{0xC0});
        QCOMPARE(layout.precision, 8);
        QCOMPARE(QSize(layout.width, layout.height), size);
        QCOMPARE(layout.components, 3);
    }

    void bannerCoversItsLogicalSize_data()
    {
        QTest::addColumn<qreal>("screenRatio");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<qreal>("pictureRatio");
        QTest::newRow("100 %") << 1.0 << QSize(575, 73) << 1.0;
        QTest::newRow("125 %") << 1.25 << QSize(1150, 146) << 2.0;
        QTest::newRow("200 %") << 2.0 << QSize(1150, 146) << 2.0;
        QTest::newRow("300 %") << 3.0 << QSize(1150, 146) << 2.0;
    }

    void bannerCoversItsLogicalSize()
    {
        QFETCH(qreal, screenRatio);
        QFETCH(QSize, pixels);
        QFETCH(qreal, pictureRatio);
        const QPixmap banner = assets::banner(screenRatio);
        QCOMPARE(banner.size(), pixels);
        QCOMPARE(banner.devicePixelRatio(), pictureRatio);
        QCOMPARE(banner.deviceIndependentSize().toSize(), assets::kBannerSize);
    }
};

QTEST_MAIN(TestBanner)
#include "tst_banner.moc"
