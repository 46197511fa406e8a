#pragma once

#include <QString>

namespace pantrio
{

// Loads the program's translations (English plural forms of every message
// with a count, from translations/pantrio_en.ts built into the program) and
// installs them; the program and each test program call it once, after the
// application object exists. False when they cannot be loaded.
bool installTranslations();

// A whole message with a count, translated in the context "Pantrio" with %n,
// as in plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n item(s) added to %1."), 3)
// .arg(...): "3 items added to …", "1 item added to …". The marker lets
// lupdate find the message.
QString plural(const char *text, int n);

} // namespace pantrio
