#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace pantrio::Backup
{

// A consistent copy of a live database through SQLite's online backup, safe
// while another connection writes; a writer holding the file longer than five
// seconds makes it fail as "locked". The target must not exist yet: the copy
// is written beside it and given the name only when whole and synced (never
// over a file that appeared meanwhile), so no name is ever used twice.
bool copy(const QString &databasePath, const QString &target, QString *error);

// Removes copies left half-written in folder by a power cut (not recent ones).
void tidyAside(const QString &folder);

// An automatic copy (at start-up, before a restore) under a name never used
// before in backups/automatic/, then that folder pruned to the newest 10 and
// the first of each of the last 12 months. Nothing else is ever deleted: a
// user's own copies live elsewhere. Returns the new file's path, empty on
// failure.
QString automatic(const QString &databasePath, QString *error,
                  const QDateTime &now = QDateTime::currentDateTime());

// The file byte for byte as it stands, with the side files found beside it
// (a journal, a log), before anything applies them: in backups/, named
// Vendora-as-found-<time>.mdb with each side file's ending after it. Never
// rotated. Returns the copy's path, empty on failure.
QString asFound(const QString &databasePath, const QStringList &sideFiles, QString *error,
                const QDateTime &now = QDateTime::currentDateTime());

// Which of the given names to keep; names automatic() does not make are no
// concern of rotation and never listed.
QStringList keep(const QStringList &names, const QDateTime &now);

// An intact Pantrio database: integrity check, the five tables and columns.
bool verify(const QString &path, QString *error);

// Replaces the database's contents with a verified backup, after taking a
// copy of the current file into backups/ under a name rotation never touches
// (Vendora-before-restore-<time>.mdb, given back in keptCopy). Nothing
// changes when it fails.
bool restore(const QString &databasePath, const QString &backupPath, QString *error,
             QString *keptCopy = nullptr);

// backups/ beside the database: the user's folder for copies. Rotation only
// ever looks inside automaticFolderFor().
QString folderFor(const QString &databasePath);
// How to go back to a backup by hand, in a sentence naming both places.
QString restoreAdvice(const QString &databasePath);
QString automaticFolderFor(const QString &databasePath);

} // namespace pantrio::Backup
