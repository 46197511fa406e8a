#include "data/owner/ChangesetApply.h"

#include "data/access/Connection.h"

#include <QHash>
#include <QStringList>
#include <QVector>

#include <sqlite3.h>

#include <cstring>
#include <memory>

namespace pantrio::ChangesetApply
{

namespace
{

enum : quint8 { Undefined = 0, Null = 5 };

// A value as the changeset holds it: a type and, for text and blobs, bytes
// that stay in the changeset's buffer while they are bound.
struct Value {
    quint8 type = Undefined;
    qint64 integer = 0;
    double real = 0;
    const char *bytes = nullptr;
    int size = 0;
};

class Reader
{
  public:
    Reader(const QByteArray &data)
        : m_p(reinterpret_cast<const quint8 *>(data.constData())), m_end(m_p + data.size())
    {
    }
    bool atEnd() const { return m_p >= m_end; }
    bool ok() const { return m_ok; }
    quint8 byte()
    {
        if (m_p >= m_end) {
            m_ok = false;
            return 0;
        }
        return *m_p++;
    }
    // SQLite's varint: seven bits a byte, big-endian, the ninth byte whole.
    quint64 varint()
    {
        quint64 v = 0;
        for (int i = 0; i < 9; ++i) {
            const quint8 b = byte();
            if (i == 8)
                return (v << 8) | b;
            v = (v << 7) | (b & 0x7f);
            if (!(b & 0x80))
                return v;
        }
        return v;
    }
    quint64 bigEndian64()
    {
        quint64 v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | byte();
        return v;
    }
    const char *take(quint64 n)
    {
        if (n > quint64(m_end - m_p)) {
            m_ok = false;
            m_p = m_end;
            return nullptr;
        }
        const char *at = reinterpret_cast<const char *>(m_p);
        m_p += n;
        return at;
    }
    QByteArray name()
    {
        const quint8 *start = m_p;
        while (m_p < m_end && *m_p)
            ++m_p;
        if (m_p >= m_end) {
            m_ok = false;
            return {};
        }
        return QByteArray(reinterpret_cast<const char *>(start), int(m_p++ - start));
    }
    void record(QVector<Value> &values)
    {
        for (Value &v : values) {
            v = Value();
            v.type = byte();
            switch (v.type) {
            case SQLITE_INTEGER:
                v.integer = qint64(bigEndian64());
                break;
            case SQLITE_FLOAT: {
                const quint64 bits = bigEndian64();
                std::memcpy(&v.real, &bits, sizeof bits);
                break;
            }
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const quint64 n = varint();
                v.size = int(n);
                v.bytes = take(n);
                break;
            }
            case Undefined:
            case Null:
                break;
            default:
                m_ok = false;
            }
        }
    }

  private:
    const quint8 *m_p;
    const quint8 *m_end;
    bool m_ok = true;
};

bool bind(sqlite3_stmt *st, int i, const Value &v)
{
    switch (v.type) {
    case SQLITE_INTEGER:
        return sqlite3_bind_int64(st, i, v.integer) == SQLITE_OK;
    case SQLITE_FLOAT:
        return sqlite3_bind_double(st, i, v.real) == SQLITE_OK;
    case SQLITE_TEXT:
        return sqlite3_bind_text(st, i, v.bytes, v.size, SQLITE_STATIC) == SQLITE_OK;
    case SQLITE_BLOB:
        return sqlite3_bind_blob(st, i, v.bytes, v.size, SQLITE_STATIC) == SQLITE_OK;
    default:
        return sqlite3_bind_null(st, i) == SQLITE_OK;
    }
}

QString quoted(const QString &identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

struct Statement {
    sqlite3_stmt *st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

// One table of the changeset: its columns and the statements made for it.
struct Table {
    QString name;
    QStringList columns;
    QVector<bool> key;
    QHash<quint64, std::shared_ptr<Statement>> statements; // by kind and columns
};

// A change not applied yet: where its records are, to read again on a retry.
struct Pending {
    Table *table;
    int op;
    QVector<Value> oldValues, newValues;
};

} // namespace

bool apply(sqlite3 *db, const QByteArray &changeset, bool *conflict, QString *error)
{
    *conflict = false;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    auto sqliteFailure = [&] {
        return fail(describeSqliteError(sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))));
    };
    std::vector<std::unique_ptr<Table>> tables;
    Table *table = nullptr;

    auto prepare = [&](Table &t, int op, quint64 mask, sqlite3_stmt **out) {
        const quint64 key = (quint64(op) << 56) | mask;
        auto it = t.statements.constFind(key);
        if (it == t.statements.constEnd()) {
            QStringList set, where;
            QString sql;
            int n = 0;
            if (op == SQLITE_INSERT) {
                QStringList marks;
                for (int c = 0; c < t.columns.size(); ++c)
                    marks << QStringLiteral("?%1").arg(++n);
                sql = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                          .arg(quoted(t.name), marks.join(QLatin1Char(',')));
            } else {
                // Updates set the changed columns, then every condition: the
                // key and each value the row held.
                if (op == SQLITE_UPDATE)
                    for (int c = 0; c < t.columns.size(); ++c)
                        if (!t.key.at(c) && (mask & (quint64(1) << c)))
                            set << quoted(t.columns.at(c)) + QStringLiteral("=?%1").arg(++n);
                for (int c = 0; c < t.columns.size(); ++c)
                    if (t.key.at(c) || (mask & (quint64(1) << c)))
                        where << quoted(t.columns.at(c)) +
                                     (t.key.at(c) ? QStringLiteral("=?%1") : QStringLiteral(" IS ?%1"))
                                         .arg(++n);
                sql = op == SQLITE_DELETE
                          ? QStringLiteral("DELETE FROM %1 WHERE %2")
                                .arg(quoted(t.name), where.join(QStringLiteral(" AND ")))
                          : QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                .arg(quoted(t.name), set.join(QLatin1Char(',')),
                                     where.join(QStringLiteral(" AND ")));
            }
            auto s = std::make_shared<Statement>();
            const QByteArray text = sql.toUtf8();
            if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &s->st, nullptr) !=
                SQLITE_OK)
                return false;
            it = t.statements.insert(key, s);
        }
        *out = (*it)->st;
        sqlite3_reset(*out);
        sqlite3_clear_bindings(*out);
        return true;
    };

    // One change: 1 applied, 0 refused by a constraint (to try again after
    // the others), -1 a conflict or an error.
    auto one = [&](const Pending &c) -> int {
        Table &t = *c.table;
        const int columns = int(t.columns.size());
        // Inserts and deletes give every column; an update, those it changed.
        quint64 mask = 0;
        for (int i = 0; i < columns; ++i)
            if (c.op != SQLITE_UPDATE || c.newValues.at(i).type != Undefined)
                mask |= quint64(1) << i;
        sqlite3_stmt *st = nullptr;
        if (!prepare(t, c.op, mask, &st))
            return -1;
        int n = 0;
        bool bound = true;
        if (c.op == SQLITE_INSERT) {
            for (int i = 0; i < columns; ++i)
                bound = bind(st, ++n, c.newValues.at(i)) && bound;
        } else {
            if (c.op == SQLITE_UPDATE)
                for (int i = 0; i < columns; ++i)
                    if (!t.key.at(i) && (mask & (quint64(1) << i)))
                        bound = bind(st, ++n, c.newValues.at(i)) && bound;
            for (int i = 0; i < columns; ++i)
                if (t.key.at(i) || (mask & (quint64(1) << i)))
                    bound = bind(st, ++n, c.oldValues.at(i)) && bound;
        }
        if (!bound)
            return -1;
        const int rc = sqlite3_step(st);
        if ((rc & 0xff) == SQLITE_CONSTRAINT) {
            sqlite3_reset(st);
            return 0;
        }
        if (rc != SQLITE_DONE)
            return -1;
        if (c.op != SQLITE_INSERT && sqlite3_changes(db) == 0) {
            // The row is gone or holds other values than the step knew.
            *conflict = true;
            return -1;
        }
        return 1;
    };

    Reader in(changeset);
    std::vector<Pending> retry;
    Pending change;
    while (!in.atEnd()) {
        const quint8 tag = in.byte();
        if (tag == 'T') {
            const int columns = int(in.varint());
            if (columns <= 0 || columns > 63)
                return fail(QStringLiteral("The step could not be read back."));
            auto t = std::make_unique<Table>();
            for (int c = 0; c < columns; ++c)
                t->key << (in.byte() != 0);
            t->name = QString::fromUtf8(in.name());
            // The columns in the order the table declares them, as recorded.
            sqlite3_stmt *info = nullptr;
            const QByteArray sql = "PRAGMA table_info(" + quoted(t->name).toUtf8() + ")";
            if (sqlite3_prepare_v2(db, sql.constData(), -1, &info, nullptr) != SQLITE_OK)
                return sqliteFailure();
            while (sqlite3_step(info) == SQLITE_ROW)
                t->columns << QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(info, 1)));
            sqlite3_finalize(info);
            if (t->columns.size() != columns)
                return fail(QStringLiteral("The step could not be read back: the table %1 has "
                                           "changed.")
                                .arg(t->name));
            table = t.get();
            tables.push_back(std::move(t));
            continue;
        }
        if (!table || (tag != SQLITE_INSERT && tag != SQLITE_DELETE && tag != SQLITE_UPDATE))
            return fail(QStringLiteral("The step could not be read back."));
        in.byte(); // whether the change was indirect: applied the same
        change.table = table;
        change.op = tag;
        change.oldValues.resize(table->columns.size());
        change.newValues.resize(table->columns.size());
        if (tag != SQLITE_INSERT)
            in.record(change.oldValues);
        if (tag != SQLITE_DELETE)
            in.record(change.newValues);
        if (!in.ok())
            return fail(QStringLiteral("The step could not be read back."));
        const int done = one(change);
        if (done < 0)
            return *conflict ? false : sqliteFailure();
        if (done == 0)
            retry.push_back(change);
    }
    // Changes refused by a constraint may only have come too early (a unique
    // name freed by a later change): tried again while any goes through.
    while (!retry.empty()) {
        std::vector<Pending> still;
        for (const Pending &c : retry) {
            const int done = one(c);
            if (done < 0)
                return *conflict ? false : sqliteFailure();
            if (done == 0)
                still.push_back(c);
        }
        if (still.size() == retry.size()) {
            *conflict = true;
            return false;
        }
        retry.swap(still);
    }
    return true;
}

} // namespace pantrio::ChangesetApply
