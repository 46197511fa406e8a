#pragma once

#include <QFont>
#include <QString>

namespace pantrio::Fonts
{

// Maps the faces the windows and reports were designed with to close installed
// stand-ins. Call once the application object exists.
void installSubstitutions();

// The family alone, without the foundry the font system may add ("URW Gothic
// [UKWN]" is "URW Gothic").
QString familyName(const QFont &font);
// The font with the family that is really drawn for it: a face that is not
// installed becomes its stand-in, so a font dialog shows what the user sees.
QFont drawnFace(QFont font);

} // namespace pantrio::Fonts
