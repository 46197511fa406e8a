#pragma once

#include "data/shopping/AisleOrder.h"
#include "data/formats/Csv.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <optional>

namespace pantrio
{

class Connection;

// The shops a household uses, each with the aisle an item has there and the
// order in which its aisles are walked. Kept in three tables beside the five
// the program has always had, which stay as they are; the schema's upgrade
// makes them, and a file of an older version that may only be read has no
// stores (the household file knows which). Every function reports failure
// with a reason.
namespace Stores
{

struct Store {
    qlonglong id = 0;
    QString name;
    bool current = false;
};

// One catalogue item as a store sees it.
struct ItemAisle {
    qlonglong itemId = 0;
    QString item;
    QString category;
    QString catalogueAisle;
    QVariant storeAisle; // Null when the store has none of its own
};

// By name, in natural order.
bool list(Connection &connection, QVector<Store> *stores, QString *error);
std::optional<Store> current(Connection &connection, QString *error);
bool exists(Connection &connection, qlonglong id);
// Names are any text but blank; two stores may not share a name (whatever its
// case), which is refused with a message.
bool add(Connection &connection, const QString &name, qlonglong *id, QString *error);
bool rename(Connection &connection, qlonglong id, const QString &name, QString *error);
// The store with its aisles and walking order.
bool remove(Connection &connection, qlonglong id, QString *error);
// At most one store is current; none when id is empty.
bool setCurrent(Connection &connection, std::optional<qlonglong> id, QString *error);

// Every catalogue item with its aisle in the store, in item order.
bool itemAisles(Connection &connection, qlonglong store, QVector<ItemAisle> *items, QString *error);
// An empty aisle removes the item's own aisle there: it uses the catalogue's.
bool setItemAisle(Connection &connection, qlonglong store, qlonglong item, const QString &aisle,
                  QString *error);

// The aisles in use in the store (an item's own aisle there, else its
// catalogue aisle), blank left out, in the store's walking order (given back
// in order when asked for).
bool aislesInUse(Connection &connection, qlonglong store, QStringList *aisles, QString *error,
                 AisleOrder *order = nullptr);
bool walkingOrder(Connection &connection, qlonglong store, AisleOrder *order, QString *error);
// Stores the order of the given aisles (positions as listed) and which the
// store does not have; entries for other aisles are kept.
bool setWalkingOrder(Connection &connection, qlonglong store, const QVector<OrderedAisle> &aisles,
                     QString *error);

// CSV with the columns Store, Item, Category, Aisle: every store's own aisles.
bool exportAisles(Connection &connection, const QString &path, int *count, QString *error);
// What an import of store aisles would do, looked up before anything is
// written. Items are found by name and category; a row that names an item
// the catalogue does not have, or has twice, refuses the whole file with its
// line. Store names are trimmed.
struct AislePlan {
    struct Row {
        QString store;
        qlonglong item = 0;
        QString aisle; // empty: the store's own aisle is removed
    };
    QVector<Row> rows;
    QStringList newStores; // named by the file, not there yet
    int stores = 0;        // stores the file names
    int blankRows = 0;
};
bool planAisles(Connection &connection, const Csv::Table &table, AislePlan *plan, QString *error);
// All rows or none.
bool applyAisles(Connection &connection, const AislePlan &plan, QString *error);

} // namespace Stores
} // namespace pantrio
