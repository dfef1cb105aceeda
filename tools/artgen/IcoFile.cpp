#include "IcoFile.h"

#include "Palette.h"

#include <QtEndian>

#include <stdexcept>

namespace artgen {
namespace {

constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr int kInfoHeaderSize = 40;
constexpr int kPaletteSize = 256 * 4;
constexpr quint16 kTypeIcon = 1;

// BMP rows are padded to a multiple of four bytes.
int stride(int width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

struct Writer {
    QByteArray bytes;
    void u8(int v) { bytes.append(static_cast<char>(v)); }
    void u16(quint16 v) { v = qToLittleEndian(v); bytes.append(reinterpret_cast<const char*>(&v), 2); }
    void u32(quint32 v) { v = qToLittleEndian(v); bytes.append(reinterpret_cast<const char*>(&v), 4); }
    void bgra(QRgb c, int alpha) { u8(qBlue(c)); u8(qGreen(c)); u8(qRed(c)); u8(alpha); }
    void zeros(int count) { bytes.append(count, '\0'); }
};

int imageBytes(const IcoImage& icon)
{
    const int side = icon.image.width();
    const int palette = icon.bitsPerPixel == 8 ? kPaletteSize : 0;
    return kInfoHeaderSize + palette + side * stride(side, icon.bitsPerPixel) + side * stride(side, 1);
}

void writeInfoHeader(Writer& out, const IcoImage& icon)
{
    const int side = icon.image.width();
    out.u32(kInfoHeaderSize);
    out.u32(side);
    out.u32(2 * side);  // the colour bitmap and the mask, one above the other
    out.u16(1);         // planes
    out.u16(icon.bitsPerPixel);
    out.u32(0);         // BI_RGB
    out.u32(imageBytes(icon) - kInfoHeaderSize - (icon.bitsPerPixel == 8 ? kPaletteSize : 0));
    out.u32(0);
    out.u32(0);
    out.u32(icon.bitsPerPixel == 8 ? 256 : 0);  // colours used
    out.u32(0);
}

// Rows go bottom-up, as in every BMP with a positive height.
void writeColours(Writer& out, const IcoImage& icon)
{
    const int side = icon.image.width();
    if (icon.bitsPerPixel == 32) {
        const QImage argb = icon.image.convertToFormat(QImage::Format_ARGB32);
        for (int y = side - 1; y >= 0; --y) {
            for (int x = 0; x < side; ++x) {
                const QRgb c = argb.pixel(x, y);
                out.bgra(c, qAlpha(c));
            }
        }
        return;
    }
    const QImage indexed = toIndexed8(icon.image);
    for (const QRgb c : indexed.colorTable())
        out.bgra(c, 0);
    for (int y = side - 1; y >= 0; --y) {
        out.bytes.append(reinterpret_cast<const char*>(indexed.constScanLine(y)), side);
        out.zeros(stride(side, 8) - side);
    }
}

// A set bit lets the background through.
void writeMask(Writer& out, const IcoImage& icon)
{
    const QImage argb = icon.image.convertToFormat(QImage::Format_ARGB32);
    const int side = argb.width();
    for (int y = side - 1; y >= 0; --y) {
        for (int x0 = 0; x0 < side; x0 += 8) {
            int bits = 0;
            for (int x = x0; x < x0 + 8 && x < side; ++x) {
                if (qAlpha(argb.pixel(x, y)) < kOpaqueAlpha)
                    bits |= 0x80 >> (x - x0);
            }
            out.u8(bits);
        }
        out.zeros(stride(side, 1) - (side + 7) / 8);
    }
}

void check(const IcoImage& icon)
{
    const QSize size = icon.image.size();
    if (size.width() != size.height() || size.width() < 1 || size.width() > 256)
        throw std::invalid_argument("icon images must be square, 1 to 256 pixels");
    if (icon.bitsPerPixel != 8 && icon.bitsPerPixel != 32)
        throw std::invalid_argument("icon images have 8 or 32 bits per pixel");
}

}  // namespace

QByteArray icoFile(const std::vector<IcoImage>& images)
{
    Writer out;
    out.u16(0);
    out.u16(kTypeIcon);
    out.u16(static_cast<quint16>(images.size()));

    quint32 offset = kDirectorySize + kEntrySize * images.size();
    for (const IcoImage& icon : images) {
        check(icon);
        const int side = icon.image.width();
        out.u8(side == 256 ? 0 : side);
        out.u8(side == 256 ? 0 : side);
        out.u8(0);  // colour count: 0 for 256 colours and more
        out.u8(0);
        out.u16(1);
        out.u16(icon.bitsPerPixel);
        out.u32(imageBytes(icon));
        out.u32(offset);
        offset += imageBytes(icon);
    }
    for (const IcoImage& icon : images) {
        writeInfoHeader(out, icon);
        writeColours(out, icon);
        writeMask(out, icon);
    }
    return out.bytes;
}

}  // namespace artgen
