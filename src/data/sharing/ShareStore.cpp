#include "data/sharing/ShareStore.h"

#include "data/shopping/Meals.h"

#include "data/access/Connection.h"

#include <QStringList>

namespace pantrio::ShareStore
{

namespace
{

bool exists(Connection &c, const QString &sql, const QVariantList &values, bool *found,
            QString *error)
{
    Connection::Rows rows;
    if (!c.select(sql, values, &rows, error))
        return false;
    *found = !rows.rows.isEmpty();
    return true;
}

// The rule's state in the file's tables.
class File : public Share::State
{
  public:
    explicit File(Connection &c) : m_c(c) {}

    bool record(const Share::Op &op, const QByteArray &digest, bool *fresh, QByteArray *stored,
                QString *error) override
    {
        int inserted = 0;
        if (!m_c.exec(QStringLiteral("INSERT OR IGNORE INTO ShareOps (Device, Seq, Kind, LineID, "
                                     "Applied, Digest) VALUES (?, ?, ?, ?, datetime('now'), ?)"),
                      {op.source, op.seq, int(op.kind), op.line, digest}, error, &inserted))
            return false;
        *fresh = inserted > 0;
        if (*fresh)
            return true;
        Connection::Rows rows;
        if (!m_c.select(QStringLiteral("SELECT Digest FROM ShareOps WHERE Device = ? AND Seq = ?"),
                        {op.source, op.seq}, &rows, error))
            return false;
        *stored = rows.rows.value(0).value(0).toByteArray(); // a record of before has none
        return true;
    }
    bool lineExists(qint64 line, bool *found, QString *error) override
    {
        return exists(m_c, QStringLiteral("SELECT 1 FROM Selected WHERE ID = ?"), {line}, found,
                      error);
    }
    bool tickExists(qint64 line, const Share::Tag &t, bool *found, QString *error) override
    {
        return exists(m_c,
                      QStringLiteral("SELECT 1 FROM ShareTicks WHERE LineID = ? AND Device = ? AND "
                                     "Seq = ? AND Taken = 0"),
                      {line, t.source, t.seq}, found, error);
    }
    bool putTick(qint64 line, const Share::Tag &t, QString *error) override
    {
        int consumed = 0;
        if (!m_c.exec(QStringLiteral("DELETE FROM ShareTicks WHERE LineID = ? AND Device = ? AND "
                                     "Seq = ? AND Taken = 1"),
                      {line, t.source, t.seq}, error, &consumed))
            return false;
        return consumed > 0 ||
               m_c.exec(QStringLiteral("INSERT INTO ShareTicks (LineID, Device, Seq, Taken) VALUES "
                                       "(?, ?, ?, 0) ON CONFLICT DO NOTHING"),
                        {line, t.source, t.seq}, error);
    }
    bool takeTick(qint64 line, const Share::Tag &t, QString *error) override
    {
        int taken = 0;
        if (!m_c.exec(QStringLiteral("DELETE FROM ShareTicks WHERE LineID = ? AND Device = ? AND "
                                     "Seq = ? AND Taken = 0"),
                      {line, t.source, t.seq}, error, &taken))
            return false;
        if (taken > 0)
            return true;
        bool came = false;
        if (!exists(m_c, QStringLiteral("SELECT 1 FROM ShareOps WHERE Device = ? AND Seq = ?"),
                    {t.source, t.seq}, &came, error))
            return false;
        // Still on its way (its own phone's): kept so that it never counts.
        return came || m_c.exec(QStringLiteral("INSERT INTO ShareTicks (LineID, Device, Seq, Taken) "
                                               "VALUES (?, ?, ?, 1) ON CONFLICT DO NOTHING"),
                                {line, t.source, t.seq}, error);
    }
    // Lines a phone adds take their category and aisle from the catalogue
    // item of that name, if there is one.
    bool addLine(const Share::Op &op, qint64 *id, QString *error) override
    {
        Connection::Rows rows;
        if (!m_c.select(QStringLiteral("SELECT Category, Aisle FROM Vendora WHERE Item = ? "
                                       "ORDER BY ID LIMIT 1"),
                        {op.item}, &rows, error))
            return false;
        const QVariantList found = rows.rows.isEmpty()
                                       ? QVariantList{QVariant(), QVariant()}
                                       : QVariantList(rows.rows.first().cbegin(),
                                                      rows.rows.first().cend());
        return m_c.exec(QStringLiteral("INSERT INTO Selected (Item, Category, Aisle, Quantity) "
                                       "VALUES (?, ?, ?, ?)"),
                        {op.item, found.value(0), found.value(1),
                         op.quantity.isEmpty() ? QStringLiteral("1") : op.quantity},
                        error, nullptr, id);
    }

  private:
    Connection &m_c;
};

} // namespace

bool apply(Connection &c, const Share::Op &op, Share::Outcome *outcome, QString *error)
{
    File state(c);
    return Share::apply(state, op, outcome, error);
}

bool acknowledged(Connection &c, const QString &source, qint64 seq, QString *error)
{
    // A tick taken before it came that has not come by now never will.
    return c.exec(QStringLiteral("DELETE FROM ShareOps WHERE Device = ? AND Seq <= ?"),
                  {source, seq}, error) &&
           c.exec(QStringLiteral("DELETE FROM ShareTicks WHERE Device = ? AND Seq <= ? AND "
                                 "Taken = 1"),
                  {source, seq}, error);
}

bool tidy(Connection &c, QString *error)
{
    return c.exec(QStringLiteral("DELETE FROM ShareTicks WHERE LineID NOT IN (SELECT ID FROM "
                                 "Selected)"),
                  {}, error) &&
           c.exec(QStringLiteral("DELETE FROM ShareTicks WHERE Taken = 1 AND EXISTS (SELECT 1 "
                                 "FROM ShareOps o WHERE o.Device = ShareTicks.Device AND o.Seq = "
                                 "ShareTicks.Seq)"),
                  {}, error);
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

bool tickedAmong(Connection &c, const QSet<qint64> &lines, QSet<qint64> *ticked, QString *error)
{
    QByteArray ids = "[";
    for (const qint64 line : lines)
        ids += QByteArray::number(line) + ',';
    ids.back() = ']';
    if (lines.isEmpty())
        ids += ']';
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT DISTINCT LineID FROM ShareTicks WHERE Taken = 0 AND "
                                 "LineID IN (SELECT value FROM json_each(?))"),
                  {QString::fromLatin1(ids)}, &rows, error))
        return false;
    ticked->clear();
    for (const auto &r : std::as_const(rows.rows))
        ticked->insert(r.at(0).toLongLong());
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
    // A line that leaves the list ticked was bought.
    if (!Meals::recordTickedAsBought(c, QDate::currentDate(), error))
        return false;
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
    return c.exec(QStringLiteral("INSERT OR REPLACE INTO ShareDevices (ID, Name, TokenHash, "
                                 "Joined) VALUES (?, ?, ?, ?)"),
                  {device.id, device.name, tokenHash, device.joined.toString(Qt::ISODate)},
                  error);
}

bool forget(Connection &c, const QString &id, QString *error)
{
    return c.exec(QStringLiteral("DELETE FROM ShareDevices WHERE ID = ?"), {id}, error);
}

} // namespace pantrio::ShareStore
