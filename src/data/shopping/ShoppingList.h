#pragma once

#include <QString>
#include <QVector>

namespace pantrio
{

class Connection;

// Adding ticked catalogue entries to the shopping list: each becomes a new
// line with the quantity 1, all in one transaction. A line that cannot be
// stored ends the run; the lines before it are kept (committed before the
// failure is reported), so `added` always tells how many are on the list.
namespace ShoppingList
{

struct Line {
    QString item;
    QString category;
    QString aisle;
};

struct AddResult {
    int added = 0;
    QString error; // empty when every line was stored
    bool ok() const { return error.isEmpty(); }
};

AddResult addLines(Connection &connection, const QVector<Line> &lines);

} // namespace ShoppingList
} // namespace pantrio
