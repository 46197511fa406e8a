#include "data/shopping/ShoppingList.h"

#include "data/access/RecordSet.h"
#include "data/owner/Household.h"
#include "data/text/Plural.h"

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

AddResult addAsOneStep(Household &file, RecordSet &grid, const QVector<Line> &lines)
{
    AddResult added;
    QString error;
    const bool stored = file.change(
        plural(QT_TRANSLATE_N_NOOP("Pantrio", "Add %n Item(s)"), int(lines.size())), Household::List,
        [&](QString *e) {
            if (!grid.updateBatch(e))
                return false;
            added = addLines(file.connection(), lines);
            return added.added > 0 || added.ok();
        },
        &error);
    if (!stored) {
        added.added = 0;
        if (added.error.isEmpty())
            added.error = error;
    }
    return added;
}

QStringList addedSince(RecordSet &catalogue, qlonglong highest)
{
    QStringList out;
    const int id = catalogue.fieldIndex(QStringLiteral("ID"));
    const int item = catalogue.fieldIndex(QStringLiteral("Item"));
    for (int row = 0; row < catalogue.recordCount(); ++row) {
        if (catalogue.valueAt(row, id).toLongLong() > highest) {
            const QString name = catalogue.valueAt(row, item).toString();
            out << (name.isEmpty() ? QStringLiteral("-") : name);
        }
    }
    return out;
}

} // namespace pantrio::ShoppingList
