#include "data/safety/Backup.h"

#include "data/access/Connection.h"
#include "data/safety/DatabaseFile.h"
#include "data/safety/SafeFile.h"
#include "data/access/Schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>

namespace pantrio::Backup
{

namespace
{

constexpr int kWaitMs = 5000; // as long as any other write waits for the file
const QLatin1String kAside(".being-written");

const QRegularExpression &automaticName()
{
    static const QRegularExpression re(
        QStringLiteral("^Vendora-(\\d{8}-\\d{6})(?:-(\\d{1,6}))?\\.mdb$"));
    return re;
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString openError(sqlite3 *db, const QString &path)
{
    return QStringLiteral("%1: %2").arg(
        native(path),
        db ? describeSqliteError(sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)))
           : QStringLiteral("out of memory"));
}

sqlite3 *openFile(const QString &path, int flags, QString *error)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr) != SQLITE_OK) {
        if (error)
            *error = openError(db, path);
        sqlite3_close(db);
        return nullptr;
    }
    // The loop below waits; the handler only smooths short holds.
    sqlite3_busy_timeout(db, 250);
    // A written file's journal deletion synced too: a journal back after a
    // power cut would undo the copy that had returned.
    if ((flags & SQLITE_OPEN_READWRITE) &&
        sqlite3_exec(db, "PRAGMA synchronous=EXTRA", nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (error)
            *error = openError(db, path);
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

// Copies every page of from into to in one step under a read lock, so the copy
// is one consistent state of the source. A file held by a writer is waited for
// as long as other writes wait, never longer. target names the file written,
// for messages.
bool backupPages(sqlite3 *from, sqlite3 *to, const QString &target, QString *error)
{
    sqlite3_backup *b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) {
        if (error)
            *error = openError(to, target);
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    int rc;
    for (;;) {
        rc = sqlite3_backup_step(b, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        if (waited.elapsed() >= kWaitMs)
            break;
        sqlite3_sleep(50);
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(
                native(target), describeSqliteError(rc, QString::fromUtf8(sqlite3_errstr(rc))));
        return false;
    }
    return true;
}

} // namespace

QString folderFor(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

QString restoreAdvice(const QString &databasePath)
{
    return QStringLiteral("To go back to a backup, copy one of the files in %1 to %2 while "
                          "Pantrio is closed, then start Pantrio: it checks the copy before it "
                          "uses it.")
        .arg(native(automaticFolderFor(databasePath)), native(databasePath));
}

QString automaticFolderFor(const QString &databasePath)
{
    return QDir(folderFor(databasePath)).filePath(QStringLiteral("automatic"));
}

bool copy(const QString &databasePath, const QString &target, QString *error)
{
    if (QFileInfo::exists(target)) {
        if (error)
            *error = QStringLiteral("%1 already exists.").arg(native(target));
        return false;
    }
    // Written aside and given its name only once whole and synced, so a power
    // cut never leaves a backup that is half a file.
    const QString aside = target + kAside;
    for (const char *side : {"", "-journal"})
        QFile::remove(aside + QLatin1String(side));
    {
        QFile made(aside);
        if (!made.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (error)
                *error = QStringLiteral("%1 cannot be made: %2").arg(native(target), made.errorString());
            return false;
        }
    }
    sqlite3 *from = openFile(databasePath, SQLITE_OPEN_READONLY, error);
    sqlite3 *to = from ? openFile(aside, SQLITE_OPEN_READWRITE, error) : nullptr;
    bool ok = from && to && backupPages(from, to, target, error);
    // The copy stands alone: one file, no journal beside it.
    if (ok) {
        char *message = nullptr;
        ok =
            sqlite3_exec(to, "PRAGMA journal_mode=DELETE", nullptr, nullptr, &message) == SQLITE_OK;
        if (!ok && error)
            *error = QStringLiteral("%1: %2").arg(native(target), QString::fromUtf8(message));
        sqlite3_free(message);
    }
    sqlite3_close(from);
    if (to && sqlite3_close(to) != SQLITE_OK && ok) {
        ok = false;
        if (error)
            *error = openError(to, target);
    }
    if (ok && !SafeFile::linkNew(aside, target, error)) {
        ok = false;
        QFile::remove(target); // its folder unsynced: not a backup to count on
    }
    // A copy that failed goes whole, with a journal its last write left.
    if (!ok)
        for (const char *side : {"", "-journal", "-wal", "-shm"})
            QFile::remove(aside + QLatin1String(side));
    return ok;
}

void tidyAside(const QString &folder)
{
    // Copies a power cut stopped; one still being written is minutes younger.
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-600);
    const QDir dir(folder);
    for (const QFileInfo &f :
         dir.entryInfoList({QStringLiteral("*") + kAside, QStringLiteral("*") + kAside + QStringLiteral("-journal")},
                           QDir::Files))
        if (f.lastModified() < stale)
            QFile::remove(f.absoluteFilePath());
}

QStringList keep(const QStringList &names, const QDateTime &now)
{
    struct Entry {
        QDateTime time;
        int number;
        QString name;
    };
    QVector<Entry> entries;
    for (const QString &n : names) {
        const auto m = automaticName().match(n);
        if (!m.hasMatch())
            continue;
        const QDateTime t = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        if (t.isValid())
            entries.append({t, m.captured(2).isEmpty() ? 1 : m.captured(2).toInt(), n});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.time != b.time ? a.time < b.time : a.number < b.number;
    });
    QStringList kept;
    for (int i = int(entries.size()) - 1, n = 0; i >= 0 && n < 10; --i, ++n)
        kept << entries.at(i).name;
    // The first backup of each of the last 12 months, this one included.
    const QDate firstMonth = QDate(now.date().year(), now.date().month(), 1).addMonths(-11);
    QSet<QString> months;
    for (const Entry &e : std::as_const(entries)) {
        if (e.time.date() < firstMonth)
            continue;
        const QString month = e.time.toString(QStringLiteral("yyyyMM"));
        if (months.contains(month))
            continue;
        months.insert(month);
        if (!kept.contains(e.name))
            kept << e.name;
    }
    return kept;
}

QString freshName(const QString &folder, const QString &stem, const QString &suffix)
{
    QString target;
    for (int n = 1;; ++n) {
        target = QDir(folder).filePath(n == 1 ? stem + suffix
                                              : stem + QStringLiteral("-%1").arg(n) + suffix);
        if (!QFileInfo::exists(target))
            return target;
    }
}

QString automatic(const QString &databasePath, QString *error, const QDateTime &now)
{
    const QString folder = automaticFolderFor(databasePath);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.").arg(native(folder));
        return {};
    }
    const QString target =
        freshName(folder, QStringLiteral("Vendora-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss")),
                  QStringLiteral(".mdb"));
    tidyAside(folder);
    tidyAside(folderFor(databasePath));
    if (!copy(databasePath, target, error))
        return {};
    const QStringList all = QDir(folder).entryList(QDir::Files);
    const QStringList kept = keep(all, now);
    for (const QString &n : all)
        if (automaticName().match(n).hasMatch() && !kept.contains(n))
            QFile::remove(QDir(folder).filePath(n));
    return target;
}

QString asFound(const QString &databasePath, const QStringList &sideFiles, QString *error,
                const QDateTime &now)
{
    const QString folder = folderFor(databasePath);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.").arg(native(folder));
        return {};
    }
    // Byte for byte: SQLite would apply a journal as it read the file.
    const QString target = freshName(
        folder, QStringLiteral("Vendora-as-found-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss")),
        QStringLiteral(".mdb"));
    QStringList made;
    auto copyRaw = [&](const QString &from, const QString &to) {
        if (QFile::copy(from, to)) {
            made << to;
            return true;
        }
        if (error)
            *error = QStringLiteral("%1 could not be copied to %2.").arg(native(from), native(to));
        return false;
    };
    bool ok = copyRaw(databasePath, target);
    for (const QString &side : sideFiles) {
        if (!ok)
            break;
        // Beside the copy under the same ending, so the pair opens as it was.
        const QString ending = side.mid(databasePath.size());
        ok = copyRaw(side, target + ending);
    }
    if (!ok) {
        for (const QString &f : std::as_const(made))
            QFile::remove(f);
        return {};
    }
    return target;
}

bool verify(const QString &path, QString *error)
{
    QString why;
    if (!Schema::checkFile(path, &why)) {
        if (error)
            *error = why;
        return false;
    }
    sqlite3 *db = openFile(path, SQLITE_OPEN_READONLY, error);
    if (!db)
        return false;
    sqlite3_stmt *st = nullptr;
    QString result;
    int rc = SQLITE_ERROR;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            result +=
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) +
                QLatin1Char(' ');
    }
    if (rc != SQLITE_DONE)
        result += QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (result.trimmed() != QLatin1String("ok")) {
        if (error)
            *error = QStringLiteral("The file is damaged: %1").arg(result.trimmed().left(300));
        return false;
    }
    return true;
}

bool restore(const QString &databasePath, const QString &backupPath, QString *error,
             QString *keptCopy)
{
    if (!verify(backupPath, error))
        return false;
    QString why;
    if (!DatabaseFile::useRollbackJournal(databasePath, &why)) {
        // A file with a write-ahead log cannot take pages of another size.
        if (error)
            *error = QStringLiteral("%1 could not be prepared for the restore: %2")
                         .arg(native(databasePath), why);
        return false;
    }
    // Kept where rotation never looks: this copy is the way back from the restore.
    const QString folder = folderFor(databasePath);
    const QString kept = freshName(
        folder,
        QStringLiteral("Vendora-before-restore-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
        QStringLiteral(".mdb"));
    if (!QDir().mkpath(folder) || !copy(databasePath, kept, error))
        return false;
    if (keptCopy)
        *keptCopy = kept;
    sqlite3 *from = openFile(backupPath, SQLITE_OPEN_READONLY, error);
    sqlite3 *to = from ? openFile(databasePath, SQLITE_OPEN_READWRITE, error) : nullptr;
    // The online backup writes the whole file in one transaction: the current
    // contents stay until it commits.
    const bool ok = from && to && backupPages(from, to, databasePath, error);
    sqlite3_close(from);
    sqlite3_close(to);
    return ok;
}

} // namespace pantrio::Backup
