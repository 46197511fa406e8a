#pragma once

#include <QString>

namespace pantrio::Places
{

// Where the program's data and files are. The folder holding Vendora.mdb and
// backups/: the executable's when a Vendora.mdb stands beside it (a portable
// copy, and the tests), else the user's data folder ($XDG_DATA_HOME/Pantrio),
// which outlives any build or installation. Tests set it.
void setProgramDirectory(const QString &directory);
QString programDirectory();
QString userDataDirectory();
QString database();
// Vendora.hlp in the program directory, else where it was installed.
QString helpFile();
// Makes the database with the starter catalogue where there is none.
bool createStarterDatabase(QString *error);

} // namespace pantrio::Places
