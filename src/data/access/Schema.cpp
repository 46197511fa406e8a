#include "data/access/Schema.h"

#include "data/access/Connection.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace pantrio::Schema
{

const QList<Table> &tables()
{
    static const QList<Table> all = {
        {QStringLiteral("Vendora"), {"ID", "Item", "Category", "Aisle"}},
        {QStringLiteral("Categories"), {"ID", "Categories"}},
        {QStringLiteral("Selected"), {"ID", "Item", "Category", "Aisle", "Quantity"}},
        {QStringLiteral("Settings"),
         {"FontName", "FontSize", "FontIt", "FontBo", "BackColor", "ForeColor"}},
        {QStringLiteral("Settings2"),
         {"FontName", "FontSize", "FontIt", "FontBo", "BackColor", "ForeColor"}},
    };
    return all;
}

bool outsideHistory(const QString &table)
{
    static const QSet<QString> outside = {QStringLiteral("settings"), QStringLiteral("settings2"),
                                          QStringLiteral("sharedevices"), QStringLiteral("shareops")};
    return outside.contains(table.toLower()) || table.startsWith(QLatin1String("sqlite_"));
}

bool verify(Connection &connection, QString *error)
{
    QSqlQuery q(connection.database());
    // The first read tells a file that is not SQLite at all from a damaged one.
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view')"))) {
        if (error)
            *error = describeSqlError(q.lastError());
        return false;
    }
    QSet<QString> present;
    while (q.next())
        present.insert(q.value(0).toString().toLower());
    for (const Table &t : tables()) {
        if (!present.contains(t.name.toLower())) {
            if (error)
                *error = QStringLiteral("The table %1 is missing.").arg(t.name);
            return false;
        }
        QSqlQuery info(connection.database());
        if (!info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(t.name))) {
            if (error)
                *error = describeSqlError(info.lastError());
            return false;
        }
        QSet<QString> cols;
        while (info.next())
            cols.insert(info.value(1).toString().toLower());
        for (const QString &c : t.columns) {
            if (!cols.contains(c.toLower())) {
                if (error)
                    *error = QStringLiteral("The table %1 has no column %2.").arg(t.name, c);
                return false;
            }
        }
    }
    return true;
}

bool checkFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("The file does not exist.");
        return false;
    }
    if (!info.isReadable()) {
        if (error)
            *error = QStringLiteral("You have no permission to read the file.");
        return false;
    }
    if (info.size() == 0) {
        if (error)
            *error = QStringLiteral("The file is empty (0 bytes); it is not a Pantrio database.");
        return false;
    }
    Connection c;
    QString why;
    // Only looked at: the start-up backup is taken before anything is written.
    if (!c.open(path, &why, Connection::Mode::ReadOnly) || !verify(c, &why)) {
        if (error)
            *error = why.contains(QLatin1String("not a database"))
                         ? QStringLiteral("The file is not a Pantrio database (%1).").arg(why)
                         : why;
        return false;
    }
    return true;
}

namespace
{

QStringList statements(const QString &resource)
{
    QFile f(resource);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    QString current;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        current += line + QLatin1Char('\n');
        if (line.trimmed().endsWith(QLatin1Char(';'))) {
            out << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

} // namespace

namespace
{

// Version 2: the stores. Items are referred to by their ID: with a foreign key
// where the catalogue's ID is its key (as in every file Pantrio makes), so
// deleting an item deletes its aisles.
bool addStores(Connection &c, QString *error)
{
    Connection::Rows info;
    if (!c.select(QStringLiteral("PRAGMA table_info(Vendora)"), &info, error))
        return false;
    bool idIsKey = false;
    for (const auto &col : std::as_const(info.rows))
        idIsKey = idIsKey ||
                  (col.value(1).toString().compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0 &&
                   col.value(5).toInt() == 1);
    const QString itemRef =
        idIsKey ? QStringLiteral(" REFERENCES Vendora(ID) ON DELETE CASCADE") : QString();
    const QStringList ddl = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS Stores (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "Name TEXT NOT NULL UNIQUE, IsCurrent INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS StoreAisles (StoreID INTEGER NOT NULL "
                       "REFERENCES Stores(ID) ON DELETE CASCADE, ItemID INTEGER NOT NULL%1, "
                       "Aisle TEXT, PRIMARY KEY (StoreID, ItemID))")
            .arg(itemRef),
        QStringLiteral("CREATE INDEX IF NOT EXISTS StoreAislesByItem ON StoreAisles (ItemID)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS StoreAisleOrder (StoreID INTEGER NOT NULL "
                       "REFERENCES Stores(ID) ON DELETE CASCADE, Aisle TEXT NOT NULL, Position "
                       "INTEGER NOT NULL, Excluded INTEGER NOT NULL DEFAULT 0, PRIMARY KEY "
                       "(StoreID, Aisle))"),
    };
    for (const QString &sql : ddl)
        if (!c.exec(sql, {}, error))
            return false;
    return true;
}

// Version 3: sharing the list with the household's phones. Each operation a
// device made is kept once, by (device, its sequence number); a tick belongs
// to its line and goes with it.
bool addSharing(Connection &c, QString *error)
{
    const QStringList ddl = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS ShareDevices (ID TEXT PRIMARY KEY, Name TEXT "
                       "NOT NULL, TokenHash BLOB NOT NULL, Joined TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS ShareOps (Device TEXT NOT NULL, Seq INTEGER "
                       "NOT NULL, Kind INTEGER NOT NULL, LineID INTEGER, Applied TEXT, PRIMARY KEY "
                       "(Device, Seq))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS ShareTicks (LineID INTEGER NOT NULL "
                       "REFERENCES Selected(ID) ON DELETE CASCADE, Device TEXT NOT NULL, Seq "
                       "INTEGER NOT NULL, Taken INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (LineID, "
                       "Device, Seq))"),
    };
    for (const QString &sql : ddl)
        if (!c.exec(sql, {}, error))
            return false;
    return true;
}

// Version 4: a phone's tick no longer goes with its line, so that a line the
// desktop's undo brings back has what the phones did to it meanwhile (line
// IDs are never used twice); each operation keeps a digest of what it was, so
// that another change under the same number is refused, not acknowledged.
bool keepTicksApart(Connection &c, QString *error)
{
    const QStringList ddl = {
        QStringLiteral("CREATE TABLE ShareTicks4 (LineID INTEGER NOT NULL, Device TEXT NOT NULL, "
                       "Seq INTEGER NOT NULL, Taken INTEGER NOT NULL DEFAULT 0, PRIMARY KEY "
                       "(LineID, Device, Seq))"),
        QStringLiteral("INSERT INTO ShareTicks4 (LineID, Device, Seq, Taken) SELECT LineID, "
                       "Device, Seq, Taken FROM ShareTicks"),
        QStringLiteral("DROP TABLE ShareTicks"),
        QStringLiteral("ALTER TABLE ShareTicks4 RENAME TO ShareTicks"),
        QStringLiteral("ALTER TABLE ShareOps ADD COLUMN Digest BLOB"),
    };
    for (const QString &sql : ddl)
        if (!c.exec(sql, {}, error))
            return false;
    return true;
}

// A list made by another program may have no key: the phones' ticks and
// the history name a line by its ID, so it is given one, every row kept
// (in its order; a line whose ID is missing or shared gets a new one). A
// table with columns of its own beyond the known ones is left as it is.
bool giveTheListAKey(Connection &c, QString *error)
{
    Connection::Rows info;
    if (!c.select(QStringLiteral("PRAGMA table_info(Selected)"), &info, error))
        return false;
    QStringList columns;
    bool keyed = false;
    for (const auto &col : std::as_const(info.rows)) {
        columns << col.value(1).toString();
        keyed = keyed || (col.value(1).toString().compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0 &&
                          col.value(5).toInt() == 1);
    }
    const QStringList known = {QStringLiteral("Item"), QStringLiteral("Category"),
                               QStringLiteral("Aisle"), QStringLiteral("Quantity")};
    const bool hasId = columns.contains(QStringLiteral("ID"), Qt::CaseInsensitive);
    QStringList others = columns;
    others.removeIf([&](const QString &n) {
        return n.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0 ||
               known.contains(n, Qt::CaseInsensitive);
    });
    if (keyed || !others.isEmpty() || columns.size() != known.size() + (hasId ? 1 : 0))
        return true;
    const QString id = hasId ? QStringLiteral("CASE WHEN typeof(ID) = 'integer' AND ID NOT IN "
                                              "(SELECT ID FROM Selected WHERE ID IS NOT NULL GROUP "
                                              "BY ID HAVING COUNT(*) > 1) THEN ID END")
                             : QStringLiteral("NULL");
    const QStringList ddl = {
        QStringLiteral("CREATE TABLE SelectedKeyed (ID INTEGER PRIMARY KEY AUTOINCREMENT, Item "
                       "TEXT, Category TEXT, Aisle TEXT, Quantity TEXT)"),
        QStringLiteral("INSERT INTO SelectedKeyed (ID, Item, Category, Aisle, Quantity) SELECT "
                       "%1, Item, Category, Aisle, Quantity FROM Selected ORDER BY rowid")
            .arg(id),
        QStringLiteral("DROP TABLE Selected"),
        QStringLiteral("ALTER TABLE SelectedKeyed RENAME TO Selected"),
    };
    for (const QString &sql : ddl)
        if (!c.exec(sql, {}, error))
            return false;
    return true;
}

// Version 5: meals and the household's usual items. A meal's ingredients
// name items as the list does (by name, category and aisle); what a meal put
// on a line is kept beside the line (no key to it: line IDs are never used
// twice, and undo may bring a line back), as are the lines the meals made.
// A line that leaves the list ticked is a purchase.
bool addMeals(Connection &c, QString *error)
{
    const QStringList ddl = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS Meals (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "Name TEXT NOT NULL, Serves INTEGER NOT NULL DEFAULT 0, Note TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS MealItems (ID INTEGER PRIMARY KEY "
                       "AUTOINCREMENT, MealID INTEGER NOT NULL REFERENCES Meals(ID) ON DELETE "
                       "CASCADE, Position INTEGER NOT NULL, Item TEXT NOT NULL, Category TEXT, "
                       "Aisle TEXT, Amount TEXT, Note TEXT)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS MealItemsByMeal ON MealItems (MealID, Position)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS MealParts (LineID INTEGER NOT NULL, Seq "
                       "INTEGER NOT NULL, MealID INTEGER NOT NULL, MealName TEXT NOT NULL, Item "
                       "TEXT NOT NULL, Amount TEXT NOT NULL, PRIMARY KEY (LineID, Seq))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS MealLines (LineID INTEGER PRIMARY KEY)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Purchases (ID INTEGER PRIMARY KEY "
                       "AUTOINCREMENT, Item TEXT NOT NULL, Bought TEXT NOT NULL, Amount TEXT)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS PurchasesByItem ON Purchases (Item)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS UsualChoices (ItemKey TEXT PRIMARY KEY, "
                       "Stopped INTEGER NOT NULL DEFAULT 0, Always INTEGER NOT NULL DEFAULT 0, "
                       "QuietUntil TEXT)"),
    };
    for (const QString &sql : ddl)
        if (!c.exec(sql, {}, error))
            return false;
    return true;
}

} // namespace

bool readVersion(Connection &connection, int *version, QString *error)
{
    Connection::Rows rows;
    if (!connection.select(QStringLiteral("PRAGMA user_version"), &rows, error))
        return false;
    *version = rows.rows.value(0).value(0).toInt();
    return true;
}

bool upgrade(Connection &connection, QString *error)
{
    int version = 0;
    if (!readVersion(connection, &version, error))
        return false;
    if (version >= currentVersion)
        return true;
    return connection.transaction(
        [&] {
            if (version < 4 && !giveTheListAKey(connection, error))
                return false;
            if (version < 2 && !addStores(connection, error))
                return false;
            if (version < 3 && !addSharing(connection, error))
                return false;
            if (version < 4 && !keepTicksApart(connection, error))
                return false;
            if (version < 5 && !addMeals(connection, error))
                return false;
            return connection.exec(
                QStringLiteral("PRAGMA user_version = %1").arg(currentVersion), {}, error);
        },
        error);
}

bool createDatabase(const QString &path, bool withStarterData, QString *error)
{
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists; it is left as it is.").arg(path);
        return false;
    }
    QStringList sql = statements(QStringLiteral(":/pantrio/schema.sql"));
    if (withStarterData)
        sql += statements(QStringLiteral(":/pantrio/starter.sql"));
    if (sql.isEmpty()) {
        if (error)
            *error = QStringLiteral("The schema is not built into this program.");
        return false;
    }
    const QString name = QStringLiteral("pantrio-create");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            if (error)
                *error = describeSqlError(db.lastError());
            ok = false;
        } else {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("BEGIN"));
            for (const QString &s : std::as_const(sql)) {
                if (!ok)
                    break;
                if (!q.exec(s)) {
                    if (error)
                        *error = describeSqlError(q.lastError()) + QStringLiteral(" in: ") + s;
                    ok = false;
                }
            }
            if (ok)
                ok = q.exec(QStringLiteral("COMMIT"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    // A new file is made at the current version.
    if (ok) {
        Connection c;
        ok = c.open(path, error) && upgrade(c, error);
    }
    if (!ok)
        QFile::remove(path);
    return ok;
}

} // namespace pantrio::Schema
