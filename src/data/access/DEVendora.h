#pragma once

#include "data/shopping/AisleOrder.h"
#include "data/access/Connection.h"
#include "data/shopping/Stores.h"

#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <optional>

namespace pantrio
{

// A two-level result: one group per distinct value of the grouping field
// (Null and empty text are one group), each with its child rows.
struct GroupedResult {
    struct Group {
        QVariant value;
        QVector<QVector<QVariant>> rows;
    };
    QString groupField;
    QStringList childFields;
    QVector<Group> groups;

    int childField(const QString &name) const { return int(childFields.indexOf(name)); }
    qsizetype rowCount() const;
};

// The full list read a category at a time, so a preview can show its first
// page before the rest is read: the same groups, rows and order as the whole
// result of DEVendora::All_Grouping, which is read through it.
class CatalogueReader
{
  public:
    explicit CatalogueReader(Connection &connection) : m_connection(connection) {}
    // Reads the categories; the result gets its fields and no groups yet.
    bool start(GroupedResult *result, QString *error);
    // Appends the next categories with their items, at least minRows items
    // (every one left at 0); more: whether any category is left.
    bool read(GroupedResult *result, int minRows, bool *more, QString *error);

  private:
    Connection &m_connection;
    QVector<QVariant> m_categories; // in report order; Null for the empty one
    int m_next = 0;
};

// The report data environment: one connection and the named commands the
// start-up, the shopping list and the reports run. Each grouped command keeps
// its result open until it is closed or run again.
class DEVendora
{
  public:
    enum Command { ListPrint_Grouping, All_Grouping, ListPrintAisle_Grouping };

    // Points cnVend at the file; ignored while the connection is open, as the
    // connection keeps the file it opened.
    void setConnectionString(const QString &databasePath);
    // Runs on the open household file's connection instead; hasStores: the
    // file has the stores' tables.
    void setConnection(Connection *shared, bool hasStores);
    Connection &cnVend() { return conn(); }
    // Whether the file has stores (known once the connection is open).
    bool hasStores() const { return m_hasStores; }

    // The largest catalogue ID; Null for an empty catalogue.
    bool TopListID(QVariant *highest, QString *error);
    bool ClearList(QString *error);
    // The number of catalogue items, whatever a window's view shows.
    bool CatalogueCount(qlonglong *count, QString *error);

    bool run(Command command, QString *error);
    // The full list a category at a time, on this environment's connection.
    bool catalogueReader(std::unique_ptr<CatalogueReader> *reader, QString *error);
    // The list by aisle as a store is walked: each line in its aisle there, the
    // groups in the store's walking order (ListPrintAisle_Grouping's result).
    bool runAisleForStore(qlonglong storeId, const QString &storeName, QString *error);
    // The store whose order the list by aisle follows; none when no store is
    // current or the file has no stores. False, with the reason, when the
    // stores cannot be read.
    bool currentStore(std::optional<Stores::Store> *store, QString *error);
    bool isOpen(Command command) const { return m_results[command].has_value(); }
    void close(Command command) { m_results[command].reset(); }
    const GroupedResult *result(Command command) const
    {
        return m_results[command] ? &*m_results[command] : nullptr;
    }

    // The grouping itself, for any rows: groups and rows in natural order, empty
    // group last when emptyLast, first otherwise.
    static GroupedResult group(const Connection::Rows &rows, const QString &groupField,
                               const QString &sortField, bool emptyLast);
    // The same with the groups in a store's walking order.
    static GroupedResult group(const Connection::Rows &rows, const QString &groupField,
                               const QString &sortField, const AisleOrder &order);

  private:
    bool noteMeals(GroupedResult *result, QString *error);
    static GroupedResult group(const Connection::Rows &rows, const QString &groupField,
                               const QString &sortField, bool emptyLast, const AisleOrder *order);
    bool ensureOpen(QString *error);

    Connection &conn() { return m_shared ? *m_shared : m_own; }

    QString m_path;
    Connection m_own;
    Connection *m_shared = nullptr;
    bool m_hasStores = false;
    std::optional<GroupedResult> m_results[3];
};

} // namespace pantrio
