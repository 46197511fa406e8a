#pragma once

#include <QByteArray>
#include <QString>

namespace pantrio::SafeFile
{

// Writes data to path so that the file is either the whole new content or
// untouched: written beside it under a temporary name, every write, the sync
// and the close checked, and only then renamed over the old file. A full disk
// is reported as such and leaves the old file as it was.
bool write(const QString &path, const QByteArray &data, QString *error);

// Renames from over to in one step (an existing to is replaced only when the
// rename succeeds).
bool moveOver(const QString &from, const QString &to, QString *error);

} // namespace pantrio::SafeFile
