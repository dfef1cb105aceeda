// Wine's Tahoma Bold carries no hinting program at all. Windows draws such a
// font's outlines as they are; FreeType, which Wine draws text with, takes
// that as a cue to hint it with its own auto-hinter instead. At 14 pixels
// (monochrome, as the font's 'gasp' table asks) that squeezes the semicolon
// into one pixel column and moves the last pixel of its tail one column left
// of the glyph box it reports, and Qt, which sizes each glyph's image by that
// box, cuts the pixel off: the key reads ":". A pre-program of one
// instruction that changes nothing makes FreeType use the font's own (empty)
// hinting, so the glyphs are drawn as on Windows.

#include "FontTables.h"
#include "KeyFontPlatform.h"

#include <QtGlobal>

namespace keyfont {

QByteArray forTextEngine(const QByteArray& font)
{
    if (fonttables::has(font, "fpgm") || fonttables::has(font, "prep"))
        return font;
    // SVTCA[x]: the vectors' default, set again.
    return fonttables::with(font, "prep", QByteArray(1, '\x01'));
}

// Qt 6.8 draws text with DirectWrite by default, GDI before: the faces were
// designed as GDI draws them, and DirectWrite (Wine's at least) sets the
// legends three to four pixels higher, in other shapes. A platform the user
// names is left as it is.
void chooseTextEngine()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=gdi");
}

}  // namespace keyfont
