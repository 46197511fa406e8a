#include "data/household/Stores.h"

#include "data/access/Connection.h"
#include "data/text/NaturalOrder.h"
#include "data/safety/SafeFile.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace pantrio::Stores
{

namespace
{

QString key(const QVariant &item, const QVariant &category)
{
    return item.toString() + QChar(0x1F) + category.toString();
}

bool nameTaken(Connection &c, const QString &name, qlonglong except, QString *error, bool *taken)
{
    QVector<Store> all;
    if (!list(c, &all, error))
        return false;
    *taken = std::any_of(all.cbegin(), all.cend(), [&](const Store &s) {
        return s.id != except && s.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return true;
}

bool checkName(Connection &c, const QString &name, qlonglong except, QString *error)
{
    if (name.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("A store needs a name.");
        return false;
    }
    bool taken = false;
    if (!nameTaken(c, name, except, error, &taken))
        return false;
    if (taken) {
        if (error)
            *error = QStringLiteral("There is already a store called %1; each store needs a name "
                                    "of its own.")
                         .arg(name);
        return false;
    }
    return true;
}

bool storeExists(Connection &c, qlonglong id, QString *error)
{
    if (exists(c, id))
        return true;
    if (error)
        *error = QStringLiteral("That store no longer exists; it was deleted meanwhile.");
    return false;
}

} // namespace

bool list(Connection &connection, QVector<Store> *stores, QString *error)
{
    stores->clear();
    Connection::Rows rows;
    if (!connection.select(QStringLiteral("SELECT ID, Name, IsCurrent FROM Stores"), &rows, error))
        return false;
    for (const auto &r : std::as_const(rows.rows))
        stores->append({r.at(0).toLongLong(), r.at(1).toString(), r.at(2).toInt() != 0});
    std::sort(stores->begin(), stores->end(), [](const Store &a, const Store &b) {
        const int c = naturalCompare(a.name, b.name);
        return c ? c < 0 : a.name < b.name;
    });
    return true;
}

std::optional<Store> current(Connection &connection, QString *error)
{
    QVector<Store> all;
    if (!list(connection, &all, error))
        return std::nullopt;
    for (const Store &s : std::as_const(all))
        if (s.current)
            return s;
    return std::nullopt;
}

bool exists(Connection &connection, qlonglong id)
{
    Connection::Rows rows;
    return connection.select(QStringLiteral("SELECT COUNT(*) FROM Stores WHERE ID = ?"), {id},
                             &rows, nullptr) &&
           rows.rows.value(0).value(0).toInt() == 1;
}

bool add(Connection &connection, const QString &name, qlonglong *id, QString *error)
{
    if (!checkName(connection, name, -1, error))
        return false;
    return connection.canWrite(error) &&
           connection.exec(QStringLiteral("INSERT INTO Stores (Name) VALUES (?)"), {name}, error,
                           nullptr, id);
}

bool rename(Connection &connection, qlonglong id, const QString &name, QString *error)
{
    return storeExists(connection, id, error) && checkName(connection, name, id, error) &&
           connection.canWrite(error) &&
           connection.exec(QStringLiteral("UPDATE Stores SET Name = ? WHERE ID = ?"), {name, id},
                           error);
}

bool remove(Connection &connection, qlonglong id, QString *error)
{
    if (!storeExists(connection, id, error))
        return false;
    // The foreign keys delete its aisles and order with it; said here as well,
    // for a file whose keys another program switched off.
    return connection.transaction(
        [&] {
            return connection.exec(QStringLiteral("DELETE FROM StoreAisles WHERE StoreID = ?"),
                                   {id}, error) &&
                   connection.exec(QStringLiteral("DELETE FROM StoreAisleOrder WHERE StoreID = ?"),
                                   {id}, error) &&
                   connection.exec(QStringLiteral("DELETE FROM Stores WHERE ID = ?"), {id}, error);
        },
        error);
}

bool setCurrent(Connection &connection, std::optional<qlonglong> id, QString *error)
{
    if (id && !storeExists(connection, *id, error))
        return false;
    return connection.canWrite(error) &&
           connection.exec(QStringLiteral("UPDATE Stores SET IsCurrent = (ID IS ?)"),
                           {id ? QVariant(*id) : QVariant()}, error);
}

bool itemAisles(Connection &connection, qlonglong store, QVector<ItemAisle> *items, QString *error)
{
    Connection::Rows rows;
    const bool ok =
        connection.select(QStringLiteral("SELECT v.ID, v.Item, v.Category, v.Aisle, "
                                               "sa.Aisle FROM Vendora v LEFT JOIN StoreAisles sa "
                                               "ON sa.ItemID = v.ID AND sa.StoreID = ? ORDER BY "
                                               "v.Item, v.ID"),
                                {store}, &rows, error);
    if (!ok)
        return false;
    items->clear();
    items->reserve(rows.rows.size());
    for (const auto &r : std::as_const(rows.rows))
        items->append({r.at(0).toLongLong(), r.at(1).toString(), r.at(2).toString(),
                       r.at(3).toString(), r.at(4)});
    return true;
}

bool setItemAisle(Connection &connection, qlonglong store, qlonglong item, const QString &aisle,
                  QString *error)
{
    if (!storeExists(connection, store, error) || !connection.canWrite(error))
        return false;
    if (aisle.isEmpty())
        return connection.exec(
            QStringLiteral("DELETE FROM StoreAisles WHERE StoreID = ? AND ItemID = ?"),
            {store, item}, error);
    return connection.exec(QStringLiteral("INSERT INTO StoreAisles (StoreID, ItemID, Aisle) VALUES "
                                          "(?, ?, ?) ON CONFLICT (StoreID, ItemID) DO UPDATE SET "
                                          "Aisle = excluded.Aisle"),
                           {store, item, aisle}, error);
}

bool aislesInUse(Connection &connection, qlonglong store, QStringList *aisles, QString *error,
                 AisleOrder *walk)
{
    aisles->clear();
    Connection::Rows rows;
    const bool ok =
        connection.select(QStringLiteral("SELECT DISTINCT COALESCE(NULLIF(sa.Aisle, ''), "
                                               "v.Aisle) FROM Vendora v LEFT JOIN StoreAisles sa "
                                               "ON sa.ItemID = v.ID AND sa.StoreID = ?"),
                                {store}, &rows, error);
    AisleOrder order;
    if (!ok || !walkingOrder(connection, store, &order, error))
        return false;
    QSet<QString> seen;
    for (const auto &r : std::as_const(rows.rows)) {
        const QString a = r.value(0).toString();
        if (!a.trimmed().isEmpty() && !seen.contains(a)) {
            seen.insert(a);
            aisles->append(a);
        }
    }
    *aisles = order.sorted(*aisles);
    if (walk)
        *walk = std::move(order);
    return true;
}

bool walkingOrder(Connection &connection, qlonglong store, AisleOrder *order, QString *error)
{
    *order = AisleOrder();
    Connection::Rows rows;
    if (!connection.select(QStringLiteral("SELECT Aisle, Position, Excluded FROM StoreAisleOrder "
                                          "WHERE StoreID = ?"),
                           {store}, &rows, error))
        return false;
    QVector<OrderedAisle> entries;
    for (const auto &r : std::as_const(rows.rows))
        entries.append({r.at(0).toString(), r.at(1).toInt(), r.at(2).toInt() != 0});
    *order = AisleOrder(entries);
    return true;
}

bool setWalkingOrder(Connection &connection, qlonglong store, const QVector<OrderedAisle> &aisles,
                     QString *error)
{
    if (!storeExists(connection, store, error))
        return false;
    return connection.transaction(
        [&] {
            for (const OrderedAisle &a : aisles)
                if (!connection.exec(
                        QStringLiteral("INSERT INTO StoreAisleOrder (StoreID, Aisle, Position, "
                                       "Excluded) VALUES (?, ?, ?, ?) ON CONFLICT (StoreID, "
                                       "Aisle) DO UPDATE SET Position = excluded.Position, "
                                       "Excluded = excluded.Excluded"),
                        {store, a.aisle, a.position, a.excluded ? 1 : 0}, error))
                    return false;
            return true;
        },
        error);
}

bool exportAisles(Connection &connection, const QString &path, int *count, QString *error)
{
    QByteArray data = Csv::line({QStringLiteral("Store"), QStringLiteral("Item"),
                                 QStringLiteral("Category"), QStringLiteral("Aisle")});
    int n = 0;
    {
        Connection::Rows rows;
        if (!connection.select(QStringLiteral("SELECT s.Name, v.Item, v.Category, sa.Aisle FROM "
                                              "StoreAisles sa JOIN Stores s ON s.ID = sa.StoreID "
                                              "JOIN Vendora v ON v.ID = sa.ItemID ORDER BY s.Name, "
                                              "v.Item, v.ID"),
                               &rows, error))
            return false;
        for (const auto &r : std::as_const(rows.rows))
            data += Csv::line(
                {r.at(0).toString(), r.at(1).toString(), r.at(2).toString(), r.at(3).toString()});
        n = int(rows.rows.size());
    }
    if (!SafeFile::write(path, data, error))
        return false;
    if (count)
        *count = n;
    return true;
}

bool importAisles(Connection &connection, const Csv::Table &table, ImportSummary *summary,
                  QString *error)
{
    QVector<int> columns;
    if (!Csv::columns(table,
                      {QStringLiteral("Store"), QStringLiteral("Item"), QStringLiteral("Category"),
                       QStringLiteral("Aisle")},
                      &columns, error))
        return false;
    // Everything is looked up first: a fault anywhere adds nothing anywhere.
    Connection::Rows items;
    if (!connection.select(QStringLiteral("SELECT ID, Item, Category FROM Vendora ORDER BY ID"),
                           &items, error))
        return false;
    QHash<QString, qlonglong> itemIds;
    for (const auto &r : std::as_const(items.rows)) {
        const QString k = key(r.at(1), r.at(2));
        if (!itemIds.contains(k))
            itemIds.insert(k, r.at(0).toLongLong());
    }
    QVector<Store> known;
    if (!list(connection, &known, error))
        return false;
    QHash<QString, qlonglong> storeIds;
    for (const Store &s : std::as_const(known))
        storeIds.insert(s.name, s.id);
    struct Row {
        QString store;
        qlonglong item;
        QString aisle;
    };
    QVector<Row> plan;
    QStringList newStores;
    for (int i = 0; i < table.rows.size(); ++i) {
        const QStringList &r = table.rows.at(i);
        const QString store = r.at(columns[0]);
        const QString item = r.at(columns[1]), category = r.at(columns[2]);
        if (store.trimmed().isEmpty()) {
            if (error)
                *error = QStringLiteral("line %1: the row names no store").arg(table.lines.at(i));
            return false;
        }
        const auto id = itemIds.constFind(key(item, category));
        if (id == itemIds.constEnd()) {
            if (error)
                *error = QStringLiteral("line %1: the catalogue has no item %2 in the category %3")
                             .arg(table.lines.at(i))
                             .arg(item, category.isEmpty() ? QStringLiteral("(none)") : category);
            return false;
        }
        if (!storeIds.contains(store) && !newStores.contains(store)) {
            for (const QString &other : std::as_const(newStores) + storeIds.keys()) {
                if (other.compare(store, Qt::CaseInsensitive) == 0) {
                    if (error)
                        *error = QStringLiteral("line %1: the store %2 differs from %3 only in "
                                                "case; write it the same way throughout")
                                     .arg(table.lines.at(i))
                                     .arg(store, other);
                    return false;
                }
            }
            newStores << store;
        }
        plan.append({store, *id, r.at(columns[3])});
    }
    const bool ok = connection.transaction(
        [&] {
            for (const QString &s : std::as_const(newStores)) {
                qlonglong id = 0;
                if (!connection.exec(QStringLiteral("INSERT INTO Stores (Name) VALUES (?)"), {s},
                                     error, nullptr, &id))
                    return false;
                storeIds.insert(s, id);
            }
            for (const Row &row : std::as_const(plan)) {
                const qlonglong store = storeIds.value(row.store);
                const bool done =
                    row.aisle.isEmpty()
                        ? connection.exec(QStringLiteral("DELETE FROM StoreAisles WHERE StoreID = "
                                                         "? AND ItemID = ?"),
                                          {store, row.item}, error)
                        : connection.exec(
                              QStringLiteral("INSERT INTO StoreAisles (StoreID, ItemID, Aisle) "
                                             "VALUES (?, ?, ?) ON CONFLICT (StoreID, ItemID) DO "
                                             "UPDATE SET Aisle = excluded.Aisle"),
                              {store, row.item, row.aisle}, error);
                if (!done)
                    return false;
            }
            return true;
        },
        error);
    if (!ok)
        return false;
    if (summary)
        *summary = {int(plan.size()), int(newStores.size()), table.blankRows};
    return true;
}

} // namespace pantrio::Stores
