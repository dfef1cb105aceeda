#pragma once
// The compiled-in key font as the platform's text engine is to get it. One
// file per platform, chosen by CMake (KeyFontWindows.cpp, KeyFontOther.cpp).

#include <QByteArray>

namespace keyfont {

QByteArray forTextEngine(const QByteArray& font);

// Before the application object: the text engine the faces are drawn with.
void chooseTextEngine();

}  // namespace keyfont
