#include "Backup.h"

#include "Connection.h"
#include "Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <sqlite3.h>

namespace pantrio::Backup
{

namespace
{

const QString kPrefix = QStringLiteral("Vendora-");

QString openError(sqlite3 *db, const QString &path)
{
    return QStringLiteral("%1: %2").arg(
        QDir::toNativeSeparators(path),
        QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory"));
}

// Copies every page of from into to, in one step under a read lock, so the
// copy is one consistent state of the source.
bool backupPages(sqlite3 *from, sqlite3 *to, QString *error)
{
    sqlite3_busy_timeout(from, 5000);
    sqlite3_busy_timeout(to, 5000);
    sqlite3_backup *b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(to));
        return false;
    }
    int rc;
    do {
        rc = sqlite3_backup_step(b, -1);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            sqlite3_sleep(50);
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errstr(rc));
        return false;
    }
    return true;
}

} // namespace

QString folderFor(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

bool copy(const QString &databasePath, const QString &target, QString *error)
{
    if (QFileInfo::exists(target)) {
        if (error)
            *error = QStringLiteral("%1 already exists.").arg(QDir::toNativeSeparators(target));
        return false;
    }
    sqlite3 *from = nullptr, *to = nullptr;
    bool ok = sqlite3_open_v2(databasePath.toUtf8().constData(), &from, SQLITE_OPEN_READONLY,
                              nullptr) == SQLITE_OK;
    if (!ok && error)
        *error = openError(from, databasePath);
    if (ok) {
        ok = sqlite3_open_v2(target.toUtf8().constData(), &to,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
        if (!ok && error)
            *error = openError(to, target);
    }
    if (ok)
        ok = backupPages(from, to, error);
    // The copy stands alone: one file, no journal beside it.
    if (ok)
        ok = sqlite3_exec(to, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(from);
    sqlite3_close(to);
    if (!ok)
        QFile::remove(target);
    return ok;
}

QStringList keep(const QStringList &names, const QDateTime &now)
{
    static const QRegularExpression re(QStringLiteral("^Vendora-(\\d{8}-\\d{6})\\.mdb$"));
    QMap<QDateTime, QString> byTime;
    for (const QString &n : names) {
        const auto m = re.match(n);
        if (!m.hasMatch())
            continue;
        const QDateTime t = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        if (t.isValid())
            byTime.insert(t, n);
    }
    QStringList kept;
    const QList<QDateTime> times = byTime.keys(); // oldest first
    for (int i = int(times.size()) - 1, n = 0; i >= 0 && n < 10; --i, ++n)
        kept << byTime.value(times.at(i));
    // The first backup of each of the last 12 months, this one included.
    const QDate firstMonth = QDate(now.date().year(), now.date().month(), 1).addMonths(-11);
    QSet<QString> months;
    for (const QDateTime &t : times) {
        if (t.date() < firstMonth)
            continue;
        const QString month = t.toString(QStringLiteral("yyyyMM"));
        if (months.contains(month))
            continue;
        months.insert(month);
        if (!kept.contains(byTime.value(t)))
            kept << byTime.value(t);
    }
    return kept;
}

QString automatic(const QString &databasePath, QString *error, const QDateTime &now)
{
    const QString folder = folderFor(databasePath);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.")
                         .arg(QDir::toNativeSeparators(folder));
        return {};
    }
    QString name =
        kPrefix + now.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".mdb");
    // Two starts in one second keep the first copy.
    const QString target = QDir(folder).filePath(name);
    if (!QFileInfo::exists(target) && !copy(databasePath, target, error))
        return {};
    const QStringList all =
        QDir(folder).entryList({kPrefix + QStringLiteral("*.mdb")}, QDir::Files);
    const QStringList kept = keep(all, now);
    for (const QString &n : all)
        if (!kept.contains(n))
            QFile::remove(QDir(folder).filePath(n));
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
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        if (error)
            *error = openError(db, path);
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt *st = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW)
            result +=
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) +
                QLatin1Char(' ');
    } else {
        result = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (result.trimmed() != QLatin1String("ok")) {
        if (error)
            *error = QStringLiteral("The file is damaged: %1").arg(result.trimmed().left(300));
        return false;
    }
    return true;
}

bool restore(const QString &databasePath, const QString &backupPath, QString *error)
{
    if (!verify(backupPath, error))
        return false;
    if (automatic(databasePath, error).isEmpty())
        return false;
    sqlite3 *from = nullptr, *to = nullptr;
    bool ok = sqlite3_open_v2(backupPath.toUtf8().constData(), &from, SQLITE_OPEN_READONLY,
                              nullptr) == SQLITE_OK &&
              sqlite3_open_v2(databasePath.toUtf8().constData(), &to, SQLITE_OPEN_READWRITE,
                              nullptr) == SQLITE_OK;
    if (!ok && error)
        *error = openError(to ? to : from, databasePath);
    // The online backup writes the whole file in one transaction: the current
    // contents stay until it commits.
    if (ok)
        ok = backupPages(from, to, error);
    if (ok)
        sqlite3_exec(to, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_close(from);
    sqlite3_close(to);
    return ok;
}

} // namespace pantrio::Backup
