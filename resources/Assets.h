#pragma once
// The program's pictures, compiled in as Qt resources.

#include <QIcon>
#include <QPixmap>

namespace assets {

// Logical size of the banner, whatever the scale of the picture behind it.
inline constexpr QSize kBannerSize{575, 73};

// The banner for a screen of the given device pixel ratio: the 575 x 73
// picture at ratio 1 and below, the 1150 x 146 one above; its own ratio is
// set so that it always covers kBannerSize logical pixels.
QPixmap banner(qreal devicePixelRatio);

// The program icon, with every size the resources hold.
QIcon programIcon();

}  // namespace assets
