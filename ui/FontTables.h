#pragma once
// The tables of a TrueType (sfnt) font file, as far as the key font needs them.

#include <QByteArray>

namespace fonttables {

bool has(const QByteArray& font, const char (&tag)[5]);

// The font with one more table, `tag`, holding `table`: the tables already
// there keep their bytes, the directory and the file's checksum are made
// anew. A file that is no sfnt font, or has the table already, comes back
// as it was.
QByteArray with(const QByteArray& font, const char (&tag)[5], const QByteArray& table);

}  // namespace fonttables
