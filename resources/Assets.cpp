#include "Assets.h"

#include <array>

// The pictures reach the program through static libraries, where nothing
// would otherwise refer to their registration and the linker would drop it.
// Outside any namespace: the macro declares the registration function.
static void registerPictures()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(plinkora);
        return true;
    }();
    (void)registered;
}

namespace assets {
namespace {

constexpr std::array kIconSizes{16, 32, 48, 128, 256};

}  // namespace

QPixmap banner(qreal devicePixelRatio)
{
    registerPictures();
    const bool doubled = devicePixelRatio > 1.0;
    QPixmap picture(doubled ? QStringLiteral(":/plinkora/banner@2x.jpg") : QStringLiteral(":/plinkora/banner.jpg"));
    picture.setDevicePixelRatio(doubled ? 2.0 : 1.0);
    return picture;
}

QIcon programIcon()
{
    registerPictures();
    QIcon icon;
    for (const int size : kIconSizes)
        icon.addFile(QStringLiteral(":/plinkora/icons/plinkora-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace assets
