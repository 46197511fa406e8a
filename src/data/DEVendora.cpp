#include "data/DEVendora.h"

#include "data/NaturalOrder.h"

#include <algorithm>

namespace pantrio
{

qsizetype GroupedResult::rowCount() const
{
    qsizetype n = 0;
    for (const Group &g : groups)
        n += g.rows.size();
    return n;
}

void DEVendora::setConnectionString(const QString &databasePath)
{
    if (m_connection.isOpen())
        return;
    m_path = databasePath;
}

bool DEVendora::ensureOpen(QString *error)
{
    if (m_connection.isOpen())
        return true;
    return m_connection.open(m_path, error);
}

bool DEVendora::TopListID(QVariant *highest, QString *error)
{
    if (!ensureOpen(error))
        return false;
    Connection::Rows rows;
    if (!m_connection.select(QStringLiteral("SELECT MAX(ID) AS Highest FROM Vendora"), &rows,
                             error))
        return false;
    *highest = rows.rows.isEmpty() ? QVariant() : rows.rows.first().value(0);
    return true;
}

bool DEVendora::ClearList(QString *error)
{
    if (!ensureOpen(error))
        return false;
    return m_connection.canWrite(error) &&
           m_connection.exec(QStringLiteral("DELETE FROM Selected"), {}, error);
}

bool DEVendora::CatalogueCount(qlonglong *count, QString *error)
{
    if (!ensureOpen(error))
        return false;
    Connection::Rows rows;
    if (!m_connection.select(QStringLiteral("SELECT COUNT(*) FROM Vendora"), &rows, error))
        return false;
    *count = rows.rows.isEmpty() ? 0 : rows.rows.first().value(0).toLongLong();
    return true;
}

namespace
{
bool isEmptyValue(const QVariant &v)
{
    return v.isNull() || v.toString().isEmpty();
}
} // namespace

GroupedResult DEVendora::group(const Connection::Rows &rows, const QString &groupField,
                               const QString &sortField, bool emptyLast)
{
    GroupedResult result;
    result.groupField = groupField;
    result.childFields = rows.names;
    const int g = int(rows.names.indexOf(groupField));
    const int s = int(rows.names.indexOf(sortField));
    if (g < 0)
        return result;

    // Sort indexes once by (group, item) and cut the runs into groups.
    QVector<int> order(rows.rows.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    QVector<QString> keys(rows.rows.size()), items(rows.rows.size());
    for (int i = 0; i < order.size(); ++i) {
        keys[i] = rows.rows.at(i).at(g).toString();
        if (s >= 0)
            items[i] = rows.rows.at(i).at(s).toString();
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const bool ea = keys.at(a).isEmpty(), eb = keys.at(b).isEmpty();
        if (ea != eb)
            return emptyLast ? eb : ea;
        if (const int c = naturalCompare(keys.at(a), keys.at(b)))
            return c < 0;
        return naturalCompare(items.at(a), items.at(b)) < 0;
    });
    for (int i : std::as_const(order)) {
        const QVariant &value = rows.rows.at(i).at(g);
        const bool empty = isEmptyValue(value);
        if (result.groups.isEmpty() ||
            (empty ? !isEmptyValue(result.groups.last().value)
                   : result.groups.last().value.toString() != value.toString())) {
            result.groups.append({empty ? QVariant(QString()) : value, {}});
        }
        result.groups.last().rows.append(rows.rows.at(i));
    }
    return result;
}

bool DEVendora::run(Command command, QString *error)
{
    if (!ensureOpen(error))
        return false;
    static const QString listSql = QStringLiteral(
        "SELECT Selected.Item, Selected.Category, Selected.Aisle, Selected.Quantity, "
        "Selected.ID FROM Selected");
    Connection::Rows rows;
    switch (command) {
    case ListPrint_Grouping:
        if (!m_connection.select(listSql, &rows, error))
            return false;
        m_results[command] = group(rows, QStringLiteral("Category"), QStringLiteral("Item"), true);
        break;
    case ListPrintAisle_Grouping:
        if (!m_connection.select(listSql, &rows, error))
            return false;
        m_results[command] = group(rows, QStringLiteral("Aisle"), QStringLiteral("Item"), true);
        break;
    case All_Grouping:
        if (!m_connection.select(QStringLiteral("SELECT Category, Item, Aisle FROM Vendora GROUP "
                                                "BY Category, Item, Aisle ORDER BY Category, Item"),
                                 &rows, error))
            return false;
        m_results[command] = group(rows, QStringLiteral("Category"), QStringLiteral("Item"), false);
        break;
    }
    return true;
}

} // namespace pantrio
