#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace pantrio
{

class RowStore;

// One open SQLite connection to a Vendora.mdb file. The program shares one,
// owned by the open household file; tests and tools may open their own.
// Transactions nest: an inner one is a savepoint of the outer. Never creates
// the file.
class Connection
{
  public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the existing database at path; false with a readable reason otherwise.
    // ReadWrite syncs every commit fully and reads through a large cache; when
    // the file or its folder may not be written, it opens for reading only and
    // readOnlyReason() says why. ReadOnly never changes the file in any way.
    enum class Mode { ReadWrite, ReadOnly };
    bool open(const QString &path, QString *error, Mode mode = Mode::ReadWrite);
    void close();
    bool isOpen() const;
    bool isReadOnly() const { return m_readOnly; }
    QString readOnlyReason() const { return m_readOnlyReason; }
    QString path() const { return m_path; }
    QSqlDatabase database() const;

    // Reads a whole result through SQLite directly: snapshots are the program's
    // hot path at catalogue scale, and the driver's per-value cost doubles them.
    struct Rows {
        QStringList names;
        QVector<QVector<QVariant>> rows;
    };
    bool select(const QString &sql, Rows *out, QString *error) const;
    // The same with values bound to the statement's parameters, in order.
    bool select(const QString &sql, const QVariantList &values, Rows *out, QString *error) const;
    // The same packed, for results kept long (a window's snapshot).
    bool select(const QString &sql, const QVariantList &values, RowStore *out, QStringList *names,
                QString *error) const;

    // Hands each row's texts, as SQLite holds them in UTF-8 (NULL as empty),
    // to row as they are read, for a large result used once: nothing is
    // copied. The views last until row returns; on a failure the rows
    // handed so far are to be dropped.
    bool selectTexts(const QString &sql, const QVariantList &values,
                     const std::function<void(const QByteArrayView *cells)> &row,
                     QString *error) const;

    // Runs a statement that returns no rows, binding values in order. The
    // statement is prepared once and kept until the connection closes, so a
    // thousand inserts parse their SQL once.
    bool exec(const QString &sql, const QVariantList &values, QString *error,
              int *rowsAffected = nullptr, qlonglong *lastInsertId = nullptr);

    // The SQLite handle, for the change recording of the household file.
    sqlite3 *handle() const;

    // Runs fn inside one transaction; rolls back if fn returns false.
    template <typename Fn> bool transaction(Fn fn, QString *error);
    bool begin(QString *error);
    // False when the file was removed or replaced since it was opened: SQLite
    // would go on writing into the unlinked file, and the change would be lost.
    bool fileIsStillThere(QString *error) const;
    // Whether a write may begin: the connection is not read-only and the file
    // is still the one opened. The reason otherwise.
    bool canWrite(QString *error) const;
    bool commit(QString *error);
    void rollback();
    // Runs fn once the outermost transaction now open has committed (at once
    // when none is open), never when it or the savepoint fn was made in rolls
    // back: what is kept in memory of a write changes only once the write
    // has lasted, so a failed commit leaves it as it was, ready to retry.
    void afterCommit(std::function<void()> fn);
    // True between begin() and commit()/rollback(), unless SQLite itself rolled
    // the transaction back (as it may on a full disk).
    bool inTransaction() const;

  private:
    // Runs a query, handing over the column names, then each row.
    bool query(const QString &sql, const QVariantList &values, QString *error,
               const std::function<void(const QStringList &)> &columns,
               const std::function<void(sqlite3_stmt *)> &row) const;
    void finalizeStatements();

    QString m_name;
    QString m_path;
    sqlite3 *m_handle = nullptr;
    QHash<QString, sqlite3_stmt *> m_statements;
    QByteArray m_nativePath;
    bool m_readOnly = false;
    QString m_readOnlyReason;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    int m_depth = 0; // open transactions: the outer one and its savepoints
    struct Pending {
        int depth;
        std::function<void()> fn;
    };
    QList<Pending> m_afterCommit;
};

template <typename Fn> bool Connection::transaction(Fn fn, QString *error)
{
    if (!begin(error))
        return false;
    if (!fn()) {
        rollback();
        return false;
    }
    if (!commit(error)) {
        rollback();
        return false;
    }
    return true;
}

// Turns a driver error into the sentence a user can act on.
QString describeSqlError(const class QSqlError &e);
// The same for an SQLite result code and its message.
QString describeSqliteError(int code, const QString &text);

// Why the database at path cannot be written by this user (empty when it can):
// SQLite needs to write the file and, for its journal, the folder.
QString whyNotWritable(const QString &path);

} // namespace pantrio
