#include "data/safety/DatabaseFile.h"

#include "data/access/Schema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <optional>

#include <sqlite3.h>

namespace pantrio::DatabaseFile
{

namespace
{

quint32 bigEndian32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

QByteArray readBytes(const QString &path, qint64 offset, qint64 length)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
        return {};
    return f.read(length);
}

QString name(const QString &path)
{
    return QFileInfo(path).fileName();
}

// Runs a statement that returns one text value per row, joined.
QString textOf(sqlite3 *db, const char *sql, bool *ok)
{
    sqlite3_stmt *st = nullptr;
    QString out;
    *ok = sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK;
    int rc = SQLITE_DONE;
    while (*ok && (rc = sqlite3_step(st)) == SQLITE_ROW)
        out += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) +
               QLatin1Char(' ');
    *ok = *ok && rc == SQLITE_DONE;
    if (!*ok)
        out = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    return out.trimmed();
}

// Opens a file for writing (which applies any journal beside it) and checks it
// quickly; then, when the check passed, runs one more statement whose result
// must be `expect`. Closes it again.
bool openCheckAnd(const QString &path, const char *then, const char *expect, QString *error)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE,
                              nullptr) == SQLITE_OK;
    QString result;
    if (ok) {
        sqlite3_busy_timeout(db, 5000);
        result = textOf(db, "PRAGMA quick_check", &ok);
        ok = ok && result == QLatin1String("ok");
        if (ok && then) {
            result = textOf(db, then, &ok);
            ok = ok && result == QLatin1String(expect);
        }
    } else {
        result = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
    }
    sqlite3_close(db);
    if (!ok && error)
        *error = result.left(300);
    return ok;
}

bool openApplyAndCheck(const QString &path, QString *error)
{
    return openCheckAnd(path, nullptr, nullptr, error);
}

// What the file would be with the side file applied, tried on copies of both.
bool intactWith(const QString &databasePath, const QString &sideFile, const QString &suffix)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString copy = dir.filePath(QStringLiteral("trial.mdb"));
    if (!QFile::copy(databasePath, copy) || !QFile::copy(sideFile, copy + suffix))
        return false;
    QString why;
    return openApplyAndCheck(copy, &why) && Schema::checkFile(copy, &why);
}

SideFile judgeWal(const QString &databasePath, const QString &wal, const Header &h)
{
    SideFile s;
    s.kind = SideFile::Kind::WriteAheadLog;
    s.path = wal;
    const QByteArray head = readBytes(wal, 0, 32);
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    const quint32 magic = head.size() == 32 ? bigEndian32(p) : 0;
    if (!h.walMode) {
        s.reason =
            QStringLiteral("%1 does not use a write-ahead log, so %2 belongs to another file.")
                .arg(name(databasePath), name(wal));
    } else if (magic != 0x377f0682 && magic != 0x377f0683) {
        s.reason = QStringLiteral("%1 is not a journal SQLite wrote.").arg(name(wal));
    } else if (int(bigEndian32(p + 8)) != h.pageSize) {
        s.reason = QStringLiteral("%1 was written for pages of another size, so it belongs to "
                                  "another file.")
                       .arg(name(wal));
    } else if (!intactWith(databasePath, wal, QStringLiteral("-wal"))) {
        s.reason = QStringLiteral("Applied to %1, %2 would damage it, so it belongs to another "
                                  "file.")
                       .arg(name(databasePath), name(wal));
    } else {
        // A log fits any file it was not written for as long as its pages do:
        // only the user knows whether the file was copied in since.
        s.verdict = SideFile::Verdict::Uncertain;
        s.reason = QStringLiteral("%1 holds changes to %2 that were never written into it, left "
                                  "when a program using it was stopped.")
                       .arg(name(wal), name(databasePath));
    }
    return s;
}

SideFile judgeJournal(const QString &databasePath, const QString &journal, const Header &h)
{
    SideFile s;
    s.kind = SideFile::Kind::RollbackJournal;
    s.path = journal;
    const QByteArray head = readBytes(journal, 0, 28);
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    const quint32 pageSize = head.size() == 28 ? bigEndian32(p + 24) : 0;
    const quint32 sector = head.size() == 28 ? bigEndian32(p + 20) : 0;
    if (h.walMode) {
        s.reason = QStringLiteral("%1 uses a write-ahead log, so %2 belongs to another file.")
                       .arg(name(databasePath), name(journal));
        return s;
    }
    if (int(pageSize) != h.pageSize || sector < 512 || sector > 65536) {
        s.reason = QStringLiteral("%1 was written for pages of another size, so it belongs to "
                                  "another file.")
                       .arg(name(journal));
        return s;
    }
    // Every write journals the first page, whose change counter ties the
    // journal to the state of the file it was written for.
    const qint64 recordSize = qint64(pageSize) + 8;
    const qint64 records = (QFileInfo(journal).size() - sector) / recordSize;
    std::optional<quint32> journalled;
    for (qint64 i = 0; i < records && !journalled; ++i) {
        const QByteArray rec = readBytes(journal, sector + i * recordSize, 4 + 28);
        if (rec.size() < 32)
            break;
        const auto *r = reinterpret_cast<const uchar *>(rec.constData());
        if (bigEndian32(r) == 1)
            journalled = bigEndian32(r + 4 + 24);
    }
    const bool rollsBackCleanly = intactWith(databasePath, journal, QStringLiteral("-journal"));
    if (journalled && (h.changeCounter == *journalled || h.changeCounter == *journalled + 1) &&
        rollsBackCleanly) {
        s.verdict = SideFile::Verdict::Own;
        s.reason =
            QStringLiteral("%1 holds the part of a save that was interrupted.").arg(name(journal));
    } else if (journalled || !rollsBackCleanly) {
        s.reason = QStringLiteral("%1 was written for another state of %2, so applying it would "
                                  "change the file wrongly.")
                       .arg(name(journal), name(databasePath));
    } else {
        s.verdict = SideFile::Verdict::Uncertain;
        s.reason = QStringLiteral("%1 holds the part of a save that was interrupted, or belongs to "
                                  "another file.")
                       .arg(name(journal));
    }
    return s;
}

} // namespace

Header readHeader(const QString &path)
{
    Header h;
    const QByteArray b = readBytes(path, 0, 100);
    if (b.size() < 100 || !b.startsWith("SQLite format 3"))
        return h;
    const auto *p = reinterpret_cast<const uchar *>(b.constData());
    const int size = (int(p[16]) << 8) | int(p[17]);
    h.pageSize = size == 1 ? 65536 : size;
    h.walMode = p[18] == 2 || p[19] == 2;
    h.changeCounter = bigEndian32(p + 24);
    h.valid = true;
    return h;
}

QList<SideFile> inspectSideFiles(const QString &databasePath)
{
    QList<SideFile> found;
    const Header h = readHeader(databasePath);
    if (!h.valid)
        return found; // not a database: the start-up check says so
    const QString wal = databasePath + QStringLiteral("-wal");
    if (QFileInfo(wal).size() > 0)
        found << judgeWal(databasePath, wal, h);
    // A journal whose header was zeroed or that is empty is finished with;
    // SQLite ignores it.
    const QString journal = databasePath + QStringLiteral("-journal");
    if (readBytes(journal, 0, 8) == QByteArray::fromHex("d9d505f920a163d7"))
        found << judgeJournal(databasePath, journal, h);
    return found;
}

bool setAside(const QString &sideFile, const QString &folder, QString *newPath, QString *error)
{
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.")
                         .arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QString base = QDir(folder).filePath(
        name(sideFile) + QStringLiteral(".set-aside-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(sideFile, target)) {
        if (error)
            *error = QStringLiteral("%1 could not be moved to %2.")
                         .arg(QDir::toNativeSeparators(sideFile), QDir::toNativeSeparators(target));
        return false;
    }
    if (newPath)
        *newPath = target;
    return true;
}

bool recover(const QString &databasePath, QString *error)
{
    return openApplyAndCheck(databasePath, error);
}

bool useRollbackJournal(const QString &databasePath, QString *error)
{
    // A file that is damaged is left exactly as it is.
    return !readHeader(databasePath).walMode ||
           openCheckAnd(databasePath, "PRAGMA journal_mode=DELETE", "delete", error);
}

Lock::Lock(const QString &databasePath)
    : m_file(std::make_unique<QLockFile>(databasePath + QStringLiteral(".lock")))
{
    // Only a dead holder makes a lock stale, however long it was held.
    m_file->setStaleLockTime(0);
}

Lock::~Lock() = default;

QString Lock::path() const
{
    return m_file->fileName();
}

Lock::Result Lock::acquire()
{
    if (m_file->tryLock(0))
        return Result::Locked;
    if (m_file->error() != QLockFile::LockFailedError)
        return Result::NotPossible; // a folder that may not be written: nothing to save anyway
    qint64 pid = 0;
    QString host, app;
    if (m_file->getLockInfo(&pid, &host, &app))
        m_holder = QStringLiteral("process %1 on %2").arg(pid).arg(host);
    return Result::HeldByOther;
}

} // namespace pantrio::DatabaseFile
