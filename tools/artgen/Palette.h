#pragma once
// Reduction of an icon to 256 colours for the 8-bit images of the .ico.

#include <QImage>

namespace artgen {

// Indexed8 copy of an ARGB32 image. Pixels with alpha below kOpaqueAlpha
// become index 0 (black), which the .ico's AND mask makes transparent; the
// others keep their colour without alpha, as a masked icon has no soft edges.
QImage toIndexed8(const QImage& argb);

inline constexpr int kOpaqueAlpha = 128;

}  // namespace artgen
