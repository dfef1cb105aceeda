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

namespace keyfont {

QByteArray forTextEngine(const QByteArray& font)
{
    if (fonttables::has(font, "fpgm") || fonttables::has(font, "prep"))
        return font;
    // SVTCA[x]: the vectors' default, set again.
    return fonttables::with(font, "prep", QByteArray(1, '\x01'));
}

}  // namespace keyfont
