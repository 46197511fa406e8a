#include "Connection.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>
#include <sys/stat.h>

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

QString sqliteError(sqlite3 *db)
{
    const int code = sqlite3_errcode(db);
    const QString text = QString::fromUtf8(sqlite3_errmsg(db));
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return QStringLiteral("The database is locked by another program (%1). Try again when it "
                              "has finished.")
            .arg(text);
    return text;
}
} // namespace

bool Connection::select(const QString &sql, Rows *out, QString *error) const
{
    if (!isOpen()) {
        if (error)
            *error = QStringLiteral("The database is not open.");
        return false;
    }
    sqlite3 *db = handleOf(database());
    if (!db) {
        if (error)
            *error = QStringLiteral("The SQLite driver gave no database handle.");
        return false;
    }
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        if (error)
            *error = sqliteError(db);
        sqlite3_finalize(stmt);
        return false;
    }
    const int columns = sqlite3_column_count(stmt);
    Rows result;
    for (int i = 0; i < columns; ++i)
        result.names << QString::fromUtf8(sqlite3_column_name(stmt, i));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVector<QVariant> row(columns);
        for (int i = 0; i < columns; ++i)
            row[i] = columnValue(stmt, i);
        result.rows.append(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        if (error)
            *error = sqliteError(db);
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    *out = std::move(result);
    return true;
}

QString describeSqlError(const QSqlError &e)
{
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.driverText().trimmed();
    if (text.isEmpty())
        text = e.text().trimmed();
    const QString native = e.nativeErrorCode();
    // SQLITE_BUSY / SQLITE_LOCKED: another program holds the file.
    if (native == QLatin1String("5") || native == QLatin1String("6"))
        return QStringLiteral("The database is locked by another program (%1). Try again when it "
                              "has finished.")
            .arg(text);
    if (native == QLatin1String("8"))
        return QStringLiteral("The database is read-only (%1).").arg(text);
    if (native == QLatin1String("13"))
        return QStringLiteral("The disk is full (%1).").arg(text);
    return text;
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
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // mode=rw: never let the driver create a missing file.
        QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        db.setDatabaseName(url.toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            if (error)
                *error = describeSqlError(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            return false;
        }
        // WAL keeps every committed row across a crash or kill of the program, and
        // lets the windows' several connections read while one writes. NORMAL
        // syncing is enough for that and keeps one-row commits cheap.
        QSqlQuery q(db);
        if (mode == Mode::Configure) {
            q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            // Catalogue queries in item order walk the index; a cache that holds a
            // large catalogue keeps them from re-reading the file page by page.
            q.exec(QStringLiteral("PRAGMA cache_size=-32768"));
        }
    }
    m_path = info.absoluteFilePath();
    m_nativePath = QFile::encodeName(m_path);
    struct stat st;
    if (::stat(m_nativePath.constData(), &st) == 0) {
        m_device = quint64(st.st_dev);
        m_inode = quint64(st.st_ino);
    }
    return true;
}

bool Connection::fileIsStillThere(QString *error) const
{
    struct stat st;
    if (::stat(m_nativePath.constData(), &st) == 0 && quint64(st.st_dev) == m_device &&
        quint64(st.st_ino) == m_inode)
        return true;
    if (error)
        *error = QStringLiteral("The database file %1 was removed or replaced while Pantrio was "
                                "running, so nothing more can be saved to it. Close Pantrio and "
                                "restore the file from the backups folder.")
                     .arg(QDir::toNativeSeparators(m_path));
    return false;
}

void Connection::close()
{
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool Connection::exec(const QString &sql, const QVariantList &values, QString *error,
                      int *rowsAffected)
{
    if (!isOpen()) {
        if (error)
            *error = QStringLiteral("The database is not open.");
        return false;
    }
    QSqlQuery q(database());
    if (!q.prepare(sql)) {
        if (error)
            *error = describeSqlError(q.lastError());
        return false;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = describeSqlError(q.lastError());
        return false;
    }
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    return true;
}

bool Connection::begin(QString *error)
{
    if (!fileIsStillThere(error))
        return false;
    // IMMEDIATE takes the write lock up front, so a second writer waits for the
    // busy timeout here instead of failing half way through.
    return exec(QStringLiteral("BEGIN IMMEDIATE"), {}, error);
}

bool Connection::commit(QString *error)
{
    return exec(QStringLiteral("COMMIT"), {}, error);
}

void Connection::rollback()
{
    exec(QStringLiteral("ROLLBACK"), {}, nullptr);
}

} // namespace pantrio
