#include "data/sharing/ShareStore.h"

#include "data/access/Connection.h"

#include <QStringList>

namespace pantrio::ShareStore
{

namespace
{
bool lineExists(Connection &c, qint64 line, bool *exists, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT COUNT(*) FROM Selected WHERE ID = ?"), {line}, &rows,
                  error))
        return false;
    *exists = rows.rows.value(0).value(0).toInt() > 0;
    return true;
}

// Lines a device adds take their category and aisle from the catalogue item
// of that name, if there is one.
bool addLine(Connection &c, const QString &item, const QString &quantity, qint64 *id,
             QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT Category, Aisle FROM Vendora WHERE Item = ? ORDER BY ID "
                                 "LIMIT 1"),
                  {item}, &rows, error))
        return false;
    const QVariantList found = rows.rows.isEmpty() ? QVariantList{QVariant(), QVariant()}
                                                   : QVariantList(rows.rows.first().cbegin(),
                                                                  rows.rows.first().cend());
    return c.exec(QStringLiteral("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                                 "(?, ?, ?, ?)"),
                  {item, found.value(0), found.value(1),
                   quantity.isEmpty() ? QStringLiteral("1") : quantity},
                  error, nullptr, id);
}
} // namespace

bool apply(Connection &c, const Share::Op &op, Applied *applied, QString *error)
{
    *applied = Applied();
    int inserted = 0;
    if (!c.exec(QStringLiteral("INSERT OR IGNORE INTO ShareOps (Device, Seq, Kind, LineID, "
                               "Applied) VALUES (?, ?, ?, ?, datetime('now'))"),
                {op.device, op.seq, int(op.kind), op.line}, error, &inserted))
        return false;
    if (inserted == 0) {
        applied->repeat = true;
        return true;
    }
    switch (op.kind) {
    case Share::Op::Kind::Add:
        return addLine(c, op.item, op.quantity, &applied->newLine, error);
    case Share::Op::Kind::Tick:
    case Share::Op::Kind::Untick: {
        bool exists = false;
        if (!lineExists(c, op.line, &exists, error))
            return false;
        if (!exists) {
            // Told to the device; nothing of it comes back.
            applied->lineGone = true;
            return true;
        }
        if (op.kind == Share::Op::Kind::Tick)
            return c.exec(QStringLiteral("INSERT INTO ShareTicks (LineID, Device, Seq, Taken) "
                                         "VALUES (?, ?, ?, 0) ON CONFLICT DO NOTHING"),
                          {op.line, op.device, op.seq}, error);
        // An untick may arrive before a tick it saw: kept as taken either way.
        for (const Share::Tag &t : op.observed)
            if (!c.exec(QStringLiteral("INSERT INTO ShareTicks (LineID, Device, Seq, Taken) "
                                       "VALUES (?, ?, ?, 1) ON CONFLICT DO UPDATE SET Taken = 1"),
                        {op.line, t.device, t.seq}, error))
                return false;
        return true;
    }
    }
    return true;
}

bool tickedLines(Connection &c, QSet<qint64> *lines, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT DISTINCT LineID FROM ShareTicks WHERE Taken = 0"), &rows,
                  error))
        return false;
    lines->clear();
    for (const auto &r : std::as_const(rows.rows))
        lines->insert(r.at(0).toLongLong());
    return true;
}

bool allLiveTicks(Connection &c, QHash<qint64, QVector<Share::Tag>> *ticks, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT LineID, Device, Seq FROM ShareTicks WHERE Taken = 0"),
                  &rows, error))
        return false;
    ticks->clear();
    for (const auto &r : std::as_const(rows.rows))
        (*ticks)[r.at(0).toLongLong()].append({r.at(1).toString(), r.at(2).toLongLong()});
    return true;
}

bool deviceHashes(Connection &c, QVector<QPair<Device, QByteArray>> *out, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT ID, Name, Joined, TokenHash FROM ShareDevices"), &rows,
                  error))
        return false;
    out->clear();
    for (const auto &r : std::as_const(rows.rows))
        out->append({Device{r.at(0).toString(), r.at(1).toString(),
                            QDateTime::fromString(r.at(2).toString(), Qt::ISODate)},
                     r.at(3).toByteArray()});
    return true;
}

bool removeTicked(Connection &c, int *removed, QString *error)
{
    int n = 0;
    if (!c.exec(QStringLiteral("DELETE FROM Selected WHERE ID IN (SELECT LineID FROM ShareTicks "
                               "WHERE Taken = 0)"),
                {}, error, &n))
        return false;
    if (removed)
        *removed = n;
    return true;
}

bool addDevice(Connection &c, const Device &device, const QByteArray &tokenHash, QString *error)
{
    return c.exec(QStringLiteral("INSERT INTO ShareDevices (ID, Name, TokenHash, Joined) VALUES "
                                 "(?, ?, ?, ?)"),
                  {device.id, device.name, tokenHash, device.joined.toString(Qt::ISODate)},
                  error);
}

bool forget(Connection &c, const QString &id, QString *error)
{
    return c.exec(QStringLiteral("DELETE FROM ShareDevices WHERE ID = ?"), {id}, error);
}

} // namespace pantrio::ShareStore
