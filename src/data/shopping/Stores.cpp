#include "data/shopping/Stores.h"

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

bool add(Connection &connection, const QString &typed, qlonglong *id, QString *error)
{
    // " Aldi" and "Aldi" are one store.
    const QString name = typed.trimmed();
    if (!checkName(connection, name, -1, error))
        return false;
    return connection.canWrite(error) &&
           connection.exec(QStringLiteral("INSERT INTO Stores (Name) VALUES (?)"), {name}, error,
                           nullptr, id);
}

bool rename(Connection &connection, qlonglong id, const QString &typed, QString *error)
{
    const QString name = typed.trimmed();
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

bool planAisles(Connection &connection, const Csv::Table &table, AislePlan *out, QString *error)
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
    QMultiHash<QString, qlonglong> itemIds;
    for (const auto &r : std::as_const(items.rows))
        itemIds.insert(key(r.at(1), r.at(2)), r.at(0).toLongLong());
    QVector<Store> known;
    if (!list(connection, &known, error))
        return false;
    QSet<QString> storeNames;
    for (const Store &s : std::as_const(known))
        storeNames.insert(s.name);
    AislePlan plan;
    plan.blankRows = table.blankRows;
    QSet<QString> stores;
    for (int i = 0; i < table.rows.size(); ++i) {
        const QStringList &r = table.rows.at(i);
        const QString store = r.at(columns[0]).trimmed();
        const QString item = r.at(columns[1]), category = r.at(columns[2]);
        const int line = table.lines.at(i);
        if (store.isEmpty()) {
            if (error)
                *error = QStringLiteral("line %1: the row names no store").arg(line);
            return false;
        }
        const QList<qlonglong> ids = itemIds.values(key(item, category));
        const QString inCategory = category.isEmpty() ? QStringLiteral("(none)") : category;
        if (ids.isEmpty()) {
            if (error)
                *error = QStringLiteral("line %1: the catalogue has no item %2 in the category %3")
                             .arg(line)
                             .arg(item, inCategory);
            return false;
        }
        // Two items of one name and category: which one is meant cannot be
        // told from the file, so nothing is guessed.
        if (ids.size() > 1) {
            if (error)
                *error = QStringLiteral("line %1: the catalogue has %2 items %3 in the category "
                                        "%4, and the file cannot say which one it means. Give "
                                        "them names of their own in the item editor, or set "
                                        "their aisles in the Stores window.")
                             .arg(line)
                             .arg(ids.size())
                             .arg(item, inCategory);
            return false;
        }
        if (!storeNames.contains(store) && !plan.newStores.contains(store)) {
            for (const QString &other : plan.newStores + storeNames.values()) {
                if (other.compare(store, Qt::CaseInsensitive) == 0) {
                    if (error)
                        *error = QStringLiteral("line %1: the store %2 differs from %3 only in "
                                                "case; write it the same way throughout")
                                     .arg(line)
                                     .arg(store, other);
                    return false;
                }
            }
            plan.newStores << store;
        }
        stores.insert(store);
        plan.rows.append({store, ids.first(), r.at(columns[3])});
    }
    plan.stores = int(stores.size());
    *out = std::move(plan);
    return true;
}

bool applyAisles(Connection &connection, const AislePlan &plan, QString *error)
{
    QVector<Store> known;
    if (!list(connection, &known, error))
        return false;
    QHash<QString, qlonglong> storeIds;
    for (const Store &s : std::as_const(known))
        storeIds.insert(s.name, s.id);
    return connection.transaction(
        [&] {
            for (const QString &s : plan.newStores) {
                qlonglong id = 0;
                if (!connection.exec(QStringLiteral("INSERT INTO Stores (Name) VALUES (?)"), {s},
                                     error, nullptr, &id))
                    return false;
                storeIds.insert(s, id);
            }
            for (const AislePlan::Row &row : plan.rows) {
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
}

} // namespace pantrio::Stores
