#include "data/access/Connection.h"
#include "data/access/RowStore.h"

#include "data/safety/Backup.h"
#include "data/safety/DatabaseFile.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVarLengthArray>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pantrio
{

namespace
{
QAtomicInt g_counter;

QString uniqueName()
{
    return QStringLiteral("pantrio-%1").arg(g_counter.fetchAndAddRelaxed(1));
}
sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

QVariant columnValue(sqlite3_stmt *stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_TEXT: {
        const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt, i)));
    }
    case SQLITE_BLOB: {
        const char *data = static_cast<const char *>(sqlite3_column_blob(stmt, i));
        return QVariant(QByteArray(data, sqlite3_column_bytes(stmt, i)));
    }
    default:
        return QVariant();
    }
}

} // namespace

// One wording for the failures a user can act on, whichever API reported them.
QString describeSqliteError(int code, const QString &text)
{
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The database is locked by another program (%1). Try again when it "
                              "has finished.")
            .arg(text);
    case SQLITE_READONLY:
        return QStringLiteral("The database is read-only (%1).").arg(text);
    case SQLITE_FULL:
        return QStringLiteral("The disk is full (%1).").arg(text);
    case SQLITE_IOERR:
        switch (code) {
        case SQLITE_IOERR_READ:
        case SQLITE_IOERR_SHORT_READ:
        case SQLITE_IOERR_LOCK:
        case SQLITE_IOERR_RDLOCK:
        case SQLITE_IOERR_CHECKRESERVEDLOCK:
        case SQLITE_IOERR_FSTAT:
        case SQLITE_IOERR_ACCESS:
            return QStringLiteral("The disk could not be read (%1).").arg(text);
        default:
            return QStringLiteral("The disk could not be written (%1).").arg(text);
        }
    default:
        return text;
    }
}

namespace
{

QString sqliteError(sqlite3 *db)
{
    return describeSqliteError(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
}

bool bind(sqlite3_stmt *st, int i, const QVariant &v)
{
    if (v.isNull())
        return sqlite3_bind_null(st, i) == SQLITE_OK;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return sqlite3_bind_int64(st, i, v.toLongLong()) == SQLITE_OK;
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(st, i, v.toDouble()) == SQLITE_OK;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    }
    case QMetaType::QString: {
        // As it is held (the caller's values outlive the statement's use of
        // them), SQLite converting it once; with its length, so a NUL inside
        // the text is kept.
        const QString &t = *static_cast<const QString *>(v.constData());
        return sqlite3_bind_text16(st, i, t.utf16(), int(t.size() * 2), SQLITE_STATIC) ==
               SQLITE_OK;
    }
    default: {
        // With its length, so a NUL inside the text is kept.
        const QByteArray t = v.toString().toUtf8();
        return sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    }
    }
}
} // namespace

bool Connection::select(const QString &sql, Rows *out, QString *error) const
{
    return select(sql, {}, out, error);
}

bool Connection::select(const QString &sql, const QVariantList &values, Rows *out,
                        QString *error) const
{
    Rows result;
    const bool ok = query(
        sql, values, error, [&](const QStringList &names) { result.names = names; },
        [&](sqlite3_stmt *stmt) {
            const int count = int(result.names.size());
            QVector<QVariant> cells(count);
            for (int i = 0; i < count; ++i)
                cells[i] = columnValue(stmt, i);
            result.rows.append(std::move(cells));
        });
    if (ok)
        *out = std::move(result);
    return ok;
}

bool Connection::select(const QString &sql, const QVariantList &values, RowStore *out,
                        QStringList *names, QString *error) const
{
    RowStore result;
    const bool ok = query(
        sql, values, error,
        [&](const QStringList &n) {
            *names = n;
            result = RowStore(int(n.size()));
        },
        [&](sqlite3_stmt *stmt) { result.append(stmt); });
    if (ok)
        *out = std::move(result);
    return ok;
}

bool Connection::selectTexts(const QString &sql, const QVariantList &values,
                             const std::function<void(const QByteArrayView *cells)> &row,
                             QString *error) const
{
    QVarLengthArray<QByteArrayView, 8> cells;
    return query(
        sql, values, error, [&](const QStringList &names) { cells.resize(names.size()); },
        [&](sqlite3_stmt *stmt) {
            for (int i = 0; i < int(cells.size()); ++i) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
                cells[i] = QByteArrayView(text, text ? sqlite3_column_bytes(stmt, i) : 0);
            }
            row(cells.constData());
        });
}

bool Connection::query(const QString &sql, const QVariantList &values, QString *error,
                       const std::function<void(const QStringList &)> &columns,
                       const std::function<void(sqlite3_stmt *)> &row) const
{
    if (!isOpen()) {
        if (error)
            *error = QStringLiteral("The database is not open.");
        return false;
    }
    sqlite3 *db = m_handle;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        if (error)
            *error = sqliteError(db);
        sqlite3_finalize(stmt);
        return false;
    }
    for (int i = 0; i < values.size(); ++i) {
        if (!bind(stmt, i + 1, values.at(i))) {
            if (error)
                *error = sqliteError(db);
            sqlite3_finalize(stmt);
            return false;
        }
    }
    const int count = sqlite3_column_count(stmt);
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString::fromUtf8(sqlite3_column_name(stmt, i));
    columns(names);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(stmt);
    if (rc != SQLITE_DONE) {
        if (error)
            *error = sqliteError(db);
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    return true;
}

QString describeSqlError(const QSqlError &e)
{
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.driverText().trimmed();
    if (text.isEmpty())
        text = e.text().trimmed();
    return describeSqliteError(e.nativeErrorCode().toInt(), text);
}

Connection::Connection() : m_name(uniqueName()) {}

Connection::~Connection()
{
    close();
}

bool Connection::open(const QString &path, QString *error, Mode mode)
{
    close();
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("The file does not exist.");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        if (error)
            *error = QStringLiteral("The SQLite driver of Qt is not installed (drivers found: %1).")
                         .arg(QSqlDatabase::drivers().join(QLatin1String(", ")));
        return false;
    }
    const QString file = info.absoluteFilePath();
    m_readOnlyReason = mode == Mode::ReadOnly ? QString() : whyNotWritable(file);
    m_readOnly = mode == Mode::ReadOnly || !m_readOnlyReason.isEmpty();
    // mode=rw: never let the driver create a missing file.
    QString options = m_readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw");
    // A file last used with a write-ahead log must make its side files even to
    // be read; where the folder forbids that, it is read as it lies on disk.
    if (m_readOnly && !QFileInfo(info.absolutePath()).isWritable() &&
        DatabaseFile::readHeader(file).walMode && !QFileInfo::exists(file + QLatin1String("-wal")))
        options += QStringLiteral("&immutable=1");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        QUrl url = QUrl::fromLocalFile(file);
        db.setDatabaseName(url.toString(QUrl::FullyEncoded) + options);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            if (error)
                *error = describeSqlError(db.lastError());
            ok = false;
        } else if (!(m_handle = handleOf(db))) {
            if (error)
                *error = QStringLiteral("The SQLite driver gave no database handle.");
            db.close();
            ok = false;
        }
    }
    if (!ok) {
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    m_path = file;
    // The rollback journal keeps no side file between writes and needs no
    // shared memory. Its deletion is what commits a change: EXTRA syncs the
    // folder after it, or a power cut soon after could bring the journal
    // back and take a change that had been reported stored. A cache of about half
    // a 100,000-item file keeps catalogue queries in item order from
    // re-reading it page by page, and no larger: it counts in the peak memory.
    if (mode != Mode::ReadOnly) {
        QStringList pragmas = {QStringLiteral("PRAGMA cache_size=-8192")};
        if (!m_readOnly)
            pragmas << QStringLiteral("PRAGMA synchronous=EXTRA")
                    << QStringLiteral("PRAGMA foreign_keys=ON");
        for (const QString &p : std::as_const(pragmas)) {
            if (!exec(p, {}, error)) {
                close();
                return false;
            }
        }
    }
    m_nativePath = QFile::encodeName(m_path);
    struct stat st;
    if (::stat(m_nativePath.constData(), &st) == 0) {
        m_device = quint64(st.st_dev);
        m_inode = quint64(st.st_ino);
    }
    return true;
}

QString whyNotWritable(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isWritable()) {
        if (info.ownerId() != ::getuid())
            return QStringLiteral("The file %1 belongs to the user %2, and you may not change "
                                  "it.")
                .arg(QDir::toNativeSeparators(info.absoluteFilePath()),
                     info.owner().isEmpty() ? QString::number(info.ownerId()) : info.owner());
        return QStringLiteral("The file %1 is marked read-only.")
            .arg(QDir::toNativeSeparators(info.absoluteFilePath()));
    }
    if (!QFileInfo(info.absolutePath()).isWritable())
        return QStringLiteral("You may not write in the folder %1, where Pantrio keeps the "
                              "journal that makes each save safe.")
            .arg(QDir::toNativeSeparators(info.absolutePath()));
    return {};
}

bool Connection::fileIsStillThere(QString *error) const
{
    struct stat st;
    if (::stat(m_nativePath.constData(), &st) == 0 && quint64(st.st_dev) == m_device &&
        quint64(st.st_ino) == m_inode)
        return true;
    if (error)
        *error = QStringLiteral("The database file %1 was removed or replaced while Pantrio was "
                                "running, so nothing more can be saved to it. Close Pantrio. %2")
                     .arg(QDir::toNativeSeparators(m_path), Backup::restoreAdvice(m_path));
    return false;
}

void Connection::close()
{
    finalizeStatements(); // before the database they belong to goes
    m_handle = nullptr;
    m_depth = 0;
    m_afterCommit.clear();
    m_readOnly = false;
    m_readOnlyReason.clear();
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

// The handle is kept from the open: looking the connection up by its name for
// every statement cost a global lock and two look-ups each time.
bool Connection::isOpen() const
{
    return m_handle != nullptr;
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool Connection::exec(const QString &sql, const QVariantList &values, QString *error,
                      int *rowsAffected, qlonglong *lastInsertId)
{
    sqlite3 *db = m_handle;
    if (!db) {
        if (error)
            *error = QStringLiteral("The database is not open.");
        return false;
    }
    sqlite3_stmt *st = m_statements.value(sql);
    if (!st) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK) {
            if (error)
                *error = sqliteError(db);
            sqlite3_finalize(st);
            return false;
        }
        m_statements.insert(sql, st);
    }
    for (int i = 0; i < values.size(); ++i) {
        if (!bind(st, i + 1, values.at(i))) {
            if (error)
                *error = sqliteError(db);
            sqlite3_reset(st);
            return false;
        }
    }
    const int rc = sqlite3_step(st);
    const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
    if (!ok && error)
        *error = sqliteError(db);
    if (ok && rowsAffected)
        *rowsAffected = sqlite3_changes(db);
    if (ok && lastInsertId)
        *lastInsertId = sqlite3_last_insert_rowid(db);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return ok;
}

void Connection::finalizeStatements()
{
    for (sqlite3_stmt *st : std::as_const(m_statements))
        sqlite3_finalize(st);
    m_statements.clear();
}

bool Connection::canWrite(QString *error) const
{
    if (m_readOnly) {
        if (error)
            *error = m_readOnlyReason + QStringLiteral(" Nothing can be changed.");
        return false;
    }
    return fileIsStillThere(error);
}

bool Connection::begin(QString *error)
{
    if (!canWrite(error))
        return false;
    if (m_depth > 0 && !inTransaction()) {
        m_depth = 0; // SQLite rolled the outer one back itself
        m_afterCommit.clear();
    }
    // IMMEDIATE takes the write lock up front, so a second writer waits for the
    // busy timeout here instead of failing half way through.
    const QString sql = m_depth == 0 ? QStringLiteral("BEGIN IMMEDIATE")
                                     : QStringLiteral("SAVEPOINT nested%1").arg(m_depth);
    if (!exec(sql, {}, error))
        return false;
    ++m_depth;
    return true;
}

bool Connection::inTransaction() const
{
    sqlite3 *db = m_handle;
    return db && sqlite3_get_autocommit(db) == 0;
}

bool Connection::commit(QString *error)
{
    if (m_depth > 1) {
        if (!exec(QStringLiteral("RELEASE nested%1").arg(m_depth - 1), {}, error))
            return false;
        // What waited for the savepoint now waits for the one around it.
        for (Pending &p : m_afterCommit)
            p.depth = std::min(p.depth, m_depth - 1);
        --m_depth;
        return true;
    }
    if (!exec(QStringLiteral("COMMIT"), {}, error))
        return false;
    m_depth = 0;
    const QList<Pending> done = std::exchange(m_afterCommit, {});
    for (const Pending &p : done)
        p.fn();
    return true;
}

void Connection::rollback()
{
    if (m_depth > 1 && inTransaction()) {
        const QString name = QStringLiteral("nested%1").arg(m_depth - 1);
        exec(QStringLiteral("ROLLBACK TO ") + name, {}, nullptr);
        exec(QStringLiteral("RELEASE ") + name, {}, nullptr);
        m_afterCommit.removeIf([&](const Pending &p) { return p.depth >= m_depth; });
        --m_depth;
        return;
    }
    if (inTransaction())
        exec(QStringLiteral("ROLLBACK"), {}, nullptr);
    m_depth = 0;
    m_afterCommit.clear();
}

void Connection::afterCommit(std::function<void()> fn)
{
    if (m_depth > 0 && !inTransaction()) {
        m_depth = 0; // SQLite rolled it back itself: nothing waits
        m_afterCommit.clear();
    }
    if (m_depth == 0)
        fn();
    else
        m_afterCommit.append({m_depth, std::move(fn)});
}

sqlite3 *Connection::handle() const
{
    return m_handle;
}

} // namespace pantrio
