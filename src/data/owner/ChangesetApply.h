#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace pantrio
{

// Applies a changeset of SQLite's session extension (its documented binary
// form) with statements of its own, inside the caller's transaction: each
// row is found by its key and must still hold the values the changeset says
// it had, or nothing more is done and conflict is set. Values are bound
// straight from the changeset's bytes, which makes undoing 10,000 rows cost
// little more than writing them.
namespace ChangesetApply
{
bool apply(sqlite3 *db, const QByteArray &changeset, bool *conflict, QString *error);
}

} // namespace pantrio
