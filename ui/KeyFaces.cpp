#include "KeyFaces.h"

#include "PictureBox.h"

namespace keyfaces {

namespace {
void moveTo(PictureBox& key, Point at)
{
    key.CurrentX = static_cast<float>(at.x);
    key.CurrentY = static_cast<float>(at.y);
}
}  // namespace

void draw(PictureBox& key, int k)
{
    moveTo(key, legendPosition(k));
    key.Print(QString(QLatin1Char(keys::legend(k))));
    if (keys::isBlack(k))
        return;

    key.setForeColor(kNotationColour);
    moveTo(key, kDigitAt);
    key.Print(static_cast<std::int16_t>(keys::notationDigit(k)));
    if (const auto dot = dotPosition(k)) {
        moveTo(key, *dot);
        key.Print(QStringLiteral("."));
    }
}

void drawAll(const std::function<PictureBox&(int)>& keyAt)
{
    for (int k : kDrawOrder)
        draw(keyAt(k), k);
}

}  // namespace keyfaces
