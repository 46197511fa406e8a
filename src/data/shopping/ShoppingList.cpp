#include "data/shopping/ShoppingList.h"

#include "data/access/Connection.h"

namespace pantrio::ShoppingList
{

AddResult addLines(Connection &connection, const QVector<Line> &lines)
{
    AddResult result;
    if (lines.isEmpty())
        return result;
    if (!connection.begin(&result.error))
        return result;
    const QString insert = QStringLiteral(
        "INSERT INTO Selected (Quantity, Item, Category, Aisle) VALUES ('1', ?, ?, ?)");
    int stored = 0;
    for (const Line &line : lines) {
        if (!connection.exec(insert, {line.item, line.category, line.aisle}, &result.error))
            break;
        ++stored;
    }
    // Some failures (a full disk) make SQLite roll the transaction back itself;
    // otherwise the lines before the failure are committed and stay.
    if (!connection.inTransaction())
        return result;
    QString commitError;
    if (!connection.commit(&commitError)) {
        connection.rollback();
        if (result.error.isEmpty())
            result.error = commitError;
        return result;
    }
    result.added = stored;
    return result;
}

} // namespace pantrio::ShoppingList
