#pragma once
// A minimal writer of Windows .ico files: uncompressed BMP images, each with
// its AND mask, as the resource compiler and the shell expect them.

#include <QByteArray>
#include <QImage>

#include <vector>

namespace artgen {

struct IcoImage {
    QImage image;       // square, at most 256 pixels, any format with alpha
    int bitsPerPixel;   // 8 (palette, transparency from the mask) or 32 (BGRA)
};

// The images in the order given, which is the order of the icon directory.
QByteArray icoFile(const std::vector<IcoImage>& images);

}  // namespace artgen
