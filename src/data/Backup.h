#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace pantrio::Backup
{

// A consistent copy of a live database through SQLite's online backup, safe
// while another connection writes. The target must not exist yet.
bool copy(const QString &databasePath, const QString &target, QString *error);

// The start-up copy: backups/Vendora-YYYYMMDD-HHMMSS.mdb beside the database,
// then the folder pruned to the newest 10 and the first of each of the last
// 12 months. Returns the new file's path, empty on failure.
QString automatic(const QString &databasePath, QString *error,
                  const QDateTime &now = QDateTime::currentDateTime());

// Which of the given backup names (as automatic() makes them) to keep.
QStringList keep(const QStringList &names, const QDateTime &now);

// An intact Pantrio database: integrity check, the five tables and columns.
bool verify(const QString &path, QString *error);

// Replaces the database's contents with a verified backup, after taking a
// copy of the current file into backups/. Nothing changes when it fails.
bool restore(const QString &databasePath, const QString &backupPath, QString *error);

QString folderFor(const QString &databasePath);

} // namespace pantrio::Backup
