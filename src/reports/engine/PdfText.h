#pragma once

#include <QByteArray>

namespace pantrio::PdfText
{

// Makes text copied from a PDF of Qt's writer read as printed. Qt maps a tab
// to the space glyph of fonts that have no tab, and its table from glyphs back
// to text then gives the space glyph the lower code, a tab. The tables are
// plain text of fixed width, so the fix keeps every byte offset of the file.
void fixCopiedSpaces(QByteArray &pdf);

} // namespace pantrio::PdfText
