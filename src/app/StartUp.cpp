#include "app/StartUp.h"

#include "app/Places.h"
#include "data/access/Connection.h"
#include "data/access/Schema.h"
#include "data/safety/Backup.h"
#include "uibase/Dialogs.h"

#include <QDir>
#include <QFileInfo>

namespace pantrio::StartUp
{

void tellCannotOpen(const QString &path, const QString &why)
{
    Dialogs::notify(nullptr, QStringLiteral("Pantrio cannot open its database file\n%1\n\n%2\n\n%3")
                                 .arg(QDir::toNativeSeparators(path), why,
                                      Backup::restoreAdvice(path)));
}

namespace
{

// Journals left beside the file by a session that did not end: the file's own
// are applied, others are moved aside into backups/ (never deleted), and the
// user decides where only they can know. False when the file cannot be used.
bool settleSideFiles(const QString &path)
{
    for (const DatabaseFile::SideFile &side : DatabaseFile::inspectSideFiles(path)) {
        const QString name = QFileInfo(side.path).fileName();
        bool apply = side.verdict == DatabaseFile::SideFile::Verdict::Own;
        if (side.verdict == DatabaseFile::SideFile::Verdict::Uncertain)
            apply = Dialogs::askYesNo(
                nullptr, QStringLiteral("%1\n\nApply these changes to %2?\n\nAnswer No if you "
                                        "have copied %2 from a backup or from elsewhere since: %3 "
                                        "is then moved into %4, and %2 is opened as it is.")
                             .arg(side.reason, QFileInfo(path).fileName(), name,
                                  QDir::toNativeSeparators(Backup::folderFor(path))));
        QString error;
        if (apply) {
            if (!DatabaseFile::recover(path, &error)) {
                tellCannotOpen(path, QStringLiteral("The interrupted save in %1 could not be undone: %2")
                                         .arg(name, error));
                return false;
            }
            continue;
        }
        QString movedTo;
        if (!DatabaseFile::setAside(side.path, Backup::folderFor(path), &movedTo, &error)) {
            tellCannotOpen(path, side.reason + QLatin1Char(' ') + error);
            return false;
        }
        Dialogs::notify(nullptr, QStringLiteral("%1\n\nIt was moved to %2 and not applied; %3 is "
                                                "opened as it is.")
                                     .arg(side.reason, QDir::toNativeSeparators(movedTo),
                                          QDir::toNativeSeparators(path)));
    }
    return true;
}

} // namespace

bool prepare(const QString &path, Prepared *out)
{
    // A first start in the user's data folder makes it, with the starter
    // catalogue, without a word.
    QString error;
    if (QDir::cleanPath(Places::programDirectory()) == QDir::cleanPath(Places::userDataDirectory()) &&
        !QFileInfo::exists(path) && !Places::createStarterDatabase(&error)) {
        tellCannotOpen(path,
                       QStringLiteral("Pantrio could not make its first database there: %1").arg(error));
        return false;
    }
    // One Pantrio at a time on a file, so neither overwrites the other's changes.
    if (QFileInfo::exists(path)) {
        out->lock = std::make_unique<DatabaseFile::Lock>(path);
        if (out->lock->acquire() == DatabaseFile::Lock::Result::HeldByOther) {
            Dialogs::notify(nullptr,
                            QStringLiteral("%1 is already open in Pantrio (%2).\n\nUse that "
                                           "window, or close it first: a file is open in one "
                                           "Pantrio at a time, so that neither overwrites the "
                                           "other's changes.")
                                .arg(QDir::toNativeSeparators(path), out->lock->holder()));
            out->lock.reset();
            return false;
        }
    }
    // Side files are applied or set aside only after the file as it stands
    // and each of them is kept, byte for byte.
    QStringList sides;
    for (const DatabaseFile::SideFile &side : DatabaseFile::inspectSideFiles(path))
        sides << side.path;
    if (!sides.isEmpty() && Backup::asFound(path, sides, &error).isEmpty()) {
        tellCannotOpen(path, QStringLiteral("Pantrio found %1 beside it and could not keep a copy of "
                                            "both before applying it, so it left them as they are: %2")
                                 .arg(QDir::toNativeSeparators(sides.first()), error));
        return false;
    }
    if (!settleSideFiles(path))
        return false;
    // The database is checked before anything is shown, and the check only
    // reads, so a damaged or missing file ends the program with a message
    // naming it and nothing is written.
    if (!Schema::checkFile(path, &error)) {
        tellCannotOpen(path, error);
        return false;
    }
    out->readOnlyReason = whyNotWritable(path);
    if (!out->readOnlyReason.isEmpty())
        return true;
    // A copy of the file as it was, before anything is written.
    if (Backup::automatic(path, &error).isEmpty())
        Dialogs::notify(nullptr,
                        QStringLiteral("Pantrio could not keep its start-up backup in "
                                       "%1:\n%2\n\nYour data is untouched; Pantrio "
                                       "goes on without the backup. To have backups again, "
                                       "make that folder one you may write in, or remove "
                                       "it so that Pantrio makes it anew.")
                            .arg(QDir::toNativeSeparators(Backup::automaticFolderFor(path)), error));
    // A file last used with a write-ahead log moves to the rollback journal
    // once; when that fails the file is used as it is, and the user told.
    if (!DatabaseFile::useRollbackJournal(path, &error))
        Dialogs::notify(nullptr,
                        QStringLiteral("%1 still uses a write-ahead log (the files -wal and "
                                       "-shm beside it): Pantrio could not switch it to its "
                                       "own journal.\n%2\n\nYour data is untouched and "
                                       "Pantrio goes on with the file as it is; it tries "
                                       "again at the next start.")
                            .arg(QDir::toNativeSeparators(path), error));
    return true;
}

} // namespace pantrio::StartUp
