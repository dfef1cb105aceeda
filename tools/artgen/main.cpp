// Draws Plinkora's banner and icon into a resources directory:
//   plinkora_artgen <directory with the DejaVu fonts> <resources directory>

#include "Banner.h"
#include "IcoFile.h"
#include "Icon.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageWriter>

#include <array>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr std::array kPngSizes{16, 32, 48, 128, 256};
constexpr int kJpegQuality = 95;

QString loadFont(const QDir& dir, const char* file)
{
    const int id = QFontDatabase::addApplicationFont(dir.filePath(QString::fromLatin1(file)));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        throw std::runtime_error(std::string("cannot load font ") + file);
    return families.first();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Qt's JPEG writer gives a baseline JFIF file with three components unless
// asked for progressive scans.
void writeJpeg(const QString& path, const QImage& image)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(kJpegQuality);
    writer.setOptimizedWrite(true);
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image))
        throw std::runtime_error("cannot write " + path.toStdString() + ": " + writer.errorString().toStdString());
}

void writePng(const QString& path, const QImage& image)
{
    if (!image.save(path, "png"))
        throw std::runtime_error("cannot write " + path.toStdString());
}

void generate(const QDir& fonts, const QDir& out)
{
    const artgen::BannerFonts bannerFonts{loadFont(fonts, "DejaVuSans-Bold.ttf"),
                                          loadFont(fonts, "DejaVuSerif-Bold.ttf")};
    writeJpeg(out.filePath(QStringLiteral("banner.jpg")), artgen::drawBanner(1, bannerFonts));
    writeJpeg(out.filePath(QStringLiteral("banner@2x.jpg")), artgen::drawBanner(2, bannerFonts));

    out.mkpath(QStringLiteral("icons"));
    for (const int size : kPngSizes)
        writePng(out.filePath(QStringLiteral("icons/plinkora-%1.png").arg(size)), artgen::drawIcon(size));

    const std::vector<artgen::IcoImage> ico{
        {artgen::drawIcon(32), 8},   {artgen::drawIcon(16), 8},  {artgen::drawIcon(128), 32},
        {artgen::drawIcon(48), 32},  {artgen::drawIcon(32), 32}, {artgen::drawIcon(16), 32},
    };
    writeFile(out.filePath(QStringLiteral("plinkora.ico")), artgen::icoFile(ico));
}

}  // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: plinkora_artgen <font directory> <resources directory>\n");
        return 2;
    }
    try {
        generate(QDir(QString::fromLocal8Bit(argv[1])), QDir(QString::fromLocal8Bit(argv[2])));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "plinkora_artgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
