#pragma once

#include <QString>

namespace pantrio
{

// A message with a count, through Qt's translation with %n, as in
// plural("%n item(s) added", 3): "3 items added", "1 item added". The English
// forms come from a translator of the program's own, installed on first use,
// so every tr() with %n reads right too.
QString plural(const char *text, int n);

} // namespace pantrio
