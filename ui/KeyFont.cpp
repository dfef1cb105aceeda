#include "KeyFont.h"

#include "FontConfiguration.h"
#include "KeyFontPlatform.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <future>

namespace keyfont {

namespace {

constexpr int kPixelSize = 14;  // 10.5 pt at 96 dpi
const QString kFamily = QStringLiteral("Tahoma");

std::shared_future<void>& fontConfiguration()
{
    static std::shared_future<void> loaded;
    return loaded;
}

// Registers the Tahoma Bold compiled into the program, when the build had one,
// so the faces look the same on every machine.
bool registerEmbedded()
{
    // Two threads reading the configuration at once would each read all of it.
    if (fontConfiguration().valid())
        fontConfiguration().wait();
    static const bool registered = [] {
        QFile file(QStringLiteral(":/plinkora/fonts/tahomabd.ttf"));
        return file.open(QIODevice::ReadOnly)
               && QFontDatabase::addApplicationFontFromData(forTextEngine(file.readAll())) >= 0;
    }();
    return registered;
}

}  // namespace

void preload()
{
    chooseTextEngine();
    if (!fontConfiguration().valid())
        fontConfiguration() = std::async(std::launch::async, &loadFontConfiguration).share();
}

QFont font()
{
    registerEmbedded();
    QFont f(kFamily);
    // Without Tahoma, a bold sans of similar width.
    f.setFamilies({kFamily, QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(kPixelSize);
    f.setWeight(QFont::Bold);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QString source()
{
    if (registerEmbedded())
        return QStringLiteral("embedded");
    return QFontInfo(font()).family() == kFamily ? QStringLiteral("system") : QStringLiteral("fallback");
}

}  // namespace keyfont
