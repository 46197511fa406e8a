#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace pantrio
{

class Connection;
class Household;
class RecordSet;

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

// The user's Add to List: the grid's pending edits first, then the new lines,
// as one step of the file's history. Lines stored before a failure stay;
// a step rolled back whole (a full disk at the commit) added none.
AddResult addAsOneStep(Household &file, RecordSet &grid, const QVector<Line> &lines);

// The catalogue's items added after the one numbered highest (this run's
// additions), in the record set's order; a nameless one as "-".
QStringList addedSince(RecordSet &catalogue, qlonglong highest);

} // namespace ShoppingList
} // namespace pantrio
