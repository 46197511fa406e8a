#pragma once

#include <QString>
#include <QStringList>

namespace pantrio
{

class Connection;

// The five tables a Vendora.mdb must hold, and the means to make a new file.
// The program itself only verifies; creating is for the set-up tool and tests.
namespace Schema
{

struct Table {
    QString name;
    QStringList columns;
};

const QList<Table> &tables();

// Checks that every table and column exists; the reason names what is missing.
bool verify(Connection &connection, QString *error);

// Opens the file and verifies it: the reason says what is wrong with it.
bool checkFile(const QString &path, QString *error);

// The version this program writes (PRAGMA user_version): 1 the five tables,
// 2 the stores' three tables beside them, 3 the shared list's tables (the
// phones that joined, the operations applied, the ticks), 4 the ticks kept
// apart from their lines and each operation's digest, 5 meals, what they put
// on the list, and purchases.
constexpr int currentVersion = 5;
bool readVersion(Connection &connection, int *version, QString *error);
// Brings a file of an older version up to currentVersion in one transaction:
// all the steps or none.
bool upgrade(Connection &connection, QString *error);

// The tables the user's history leaves alone: the windows' looks, the
// phones' register and the log of their operations. Every other table of a
// file is recorded by undo, so a table added later is recorded unless named
// here.
bool outsideHistory(const QString &table);

// Makes a new database file with the schema, optionally filled with the starter
// catalogue. Refuses to touch a file that already exists.
bool createDatabase(const QString &path, bool withStarterData, QString *error);

} // namespace Schema
} // namespace pantrio
