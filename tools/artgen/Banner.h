#pragma once
// The banner across the top of the window: title, credit line and the
// legend of the function keys on a beige-gold sheet of music.

#include <QImage>
#include <QSize>
#include <QString>

namespace artgen {

inline constexpr QSize kBannerSize{575, 73};

struct BannerFonts {
    QString sans;   // family of the legend and the credit line, used bold and regular
    QString serif;  // family of the title, used bold
};

// The banner at scale 1 or 2: kBannerSize * scale pixels, opaque.
QImage drawBanner(int scale, const BannerFonts& fonts);

}  // namespace artgen
