#include "data/shopping/Meals.h"

#include "data/access/Connection.h"
#include "data/access/RowStore.h"
#include "data/formats/Csv.h"
#include "data/safety/SafeFile.h"
#include "data/shopping/Amount.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <vector>

namespace pantrio::Meals
{

namespace
{

bool hasTable(Connection &c, const char *name, bool *has, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?"),
                  {QString::fromLatin1(name)}, &rows, error))
        return false;
    *has = !rows.rows.isEmpty();
    return true;
}

} // namespace

bool list(Connection &c, QVector<Row> *out, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT ID, Name, Serves, Note FROM Meals ORDER BY Name COLLATE "
                                 "NOCASE, ID"),
                  &rows, error))
        return false;
    out->clear();
    for (const auto &r : std::as_const(rows.rows))
        out->append({r.value(0).toLongLong(), r.value(1).toString(), r.value(2).toInt(),
                     r.value(3).toString()});
    return true;
}

bool add(Connection &c, const QString &name, qint64 *id, QString *error)
{
    if (name.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("A meal needs a name.");
        return false;
    }
    qlonglong made = 0;
    if (!c.exec(QStringLiteral("INSERT INTO Meals (Name, Serves) VALUES (?, 0)"),
                {name.trimmed()}, error, nullptr, &made))
        return false;
    if (id)
        *id = made;
    return true;
}

bool update(Connection &c, const Row &meal, QString *error)
{
    if (meal.name.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("A meal needs a name.");
        return false;
    }
    return c.exec(QStringLiteral("UPDATE Meals SET Name = ?, Serves = ?, Note = ? WHERE ID = ?"),
                  {meal.name.trimmed(), std::max(0, meal.serves),
                   meal.note.isEmpty() ? QVariant() : QVariant(meal.note), meal.id},
                  error);
}

bool duplicate(Connection &c, qint64 id, qint64 *copy, QString *error)
{
    qlonglong made = 0;
    int n = 0;
    if (!c.exec(QStringLiteral("INSERT INTO Meals (Name, Serves, Note) SELECT Name || ' (copy)', "
                               "Serves, Note FROM Meals WHERE ID = ?"),
                {id}, error, &n, &made))
        return false;
    if (n == 0) {
        if (error)
            *error = QStringLiteral("The meal is no longer there.");
        return false;
    }
    if (!c.exec(QStringLiteral("INSERT INTO MealItems (MealID, Position, Item, Category, Aisle, "
                               "Amount, Note) SELECT ?, Position, Item, Category, Aisle, Amount, "
                               "Note FROM MealItems WHERE MealID = ? ORDER BY Position"),
                {made, id}, error))
        return false;
    if (copy)
        *copy = made;
    return true;
}

bool remove(Connection &c, qint64 id, QString *error)
{
    // Its ingredients go with it; what it put on the list stays, named.
    return c.exec(QStringLiteral("DELETE FROM MealItems WHERE MealID = ?"), {id}, error) &&
           c.exec(QStringLiteral("DELETE FROM Meals WHERE ID = ?"), {id}, error);
}

bool ingredients(Connection &c, qint64 meal, QVector<Ingredient> *out, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT Item, Category, Aisle, Amount, Note FROM MealItems WHERE "
                                 "MealID = ? ORDER BY Position, ID"),
                  {meal}, &rows, error))
        return false;
    out->clear();
    for (const auto &r : std::as_const(rows.rows))
        out->append({r.value(0).toString(), r.value(1).toString(), r.value(2).toString(),
                     r.value(3).toString(), r.value(4).toString()});
    return true;
}

bool setIngredients(Connection &c, qint64 meal, const QVector<Ingredient> &in, QString *error)
{
    if (!c.exec(QStringLiteral("DELETE FROM MealItems WHERE MealID = ?"), {meal}, error))
        return false;
    auto orNull = [](const QString &s) { return s.trimmed().isEmpty() ? QVariant() : QVariant(s.trimmed()); };
    int position = 0;
    for (const Ingredient &i : in) {
        if (i.item.trimmed().isEmpty())
            continue;
        if (!c.exec(QStringLiteral("INSERT INTO MealItems (MealID, Position, Item, Category, "
                                   "Aisle, Amount, Note) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                    {meal, position++, i.item.trimmed(), orNull(i.category), orNull(i.aisle),
                     orNull(i.amount), orNull(i.note)},
                    error))
            return false;
    }
    return true;
}

bool load(Connection &c, qint64 id, MealPlan::Meal *out, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT Name, Serves FROM Meals WHERE ID = ?"), {id}, &rows, error))
        return false;
    if (rows.rows.isEmpty()) {
        if (error)
            *error = QStringLiteral("The meal is no longer there.");
        return false;
    }
    QVector<Ingredient> in;
    if (!ingredients(c, id, &in, error))
        return false;
    *out = {};
    out->id = id;
    out->name = rows.rows.first().value(0).toString();
    out->serves = rows.rows.first().value(1).toInt();
    for (const Ingredient &i : std::as_const(in))
        out->ingredients.append({i.item, i.category, i.aisle, i.amount});
    return true;
}

bool lines(Connection &c, QList<MealPlan::Line> *out, QString *error)
{
    Connection::Rows rows, parts, made;
    if (!c.select(QStringLiteral("SELECT ID, Item, Category, Aisle, Quantity FROM Selected ORDER BY ID"),
                  &rows, error) ||
        !c.select(QStringLiteral("SELECT LineID, MealID, MealName, Amount, Item FROM MealParts "
                                 "ORDER BY LineID, Seq"),
                  &parts, error) ||
        !c.select(QStringLiteral("SELECT LineID FROM MealLines"), &made, error))
        return false;
    QHash<qint64, QList<MealPlan::Part>> byLine;
    for (const auto &p : std::as_const(parts.rows))
        byLine[p.value(0).toLongLong()].append({p.value(1).toLongLong(), p.value(2).toString(),
                                                p.value(3).toString(), p.value(4).toString()});
    QSet<qint64> byMeals;
    for (const auto &m : std::as_const(made.rows))
        byMeals.insert(m.value(0).toLongLong());
    out->clear();
    for (const auto &r : std::as_const(rows.rows)) {
        MealPlan::Line l;
        l.id = r.value(0).toLongLong();
        l.item = r.value(1).toString();
        l.category = r.value(2).toString();
        l.aisle = r.value(3).toString();
        l.quantity = r.value(4).toString();
        l.parts = byLine.value(l.id);
        l.madeByMeals = byMeals.contains(l.id);
        out->append(l);
    }
    return true;
}

namespace
{

// Writes the lines as the plan left them, where they differ from before.
bool writeLines(Connection &c, const QList<MealPlan::Line> &before, const QList<MealPlan::Line> &after,
                QString *error)
{
    QHash<qint64, const MealPlan::Line *> old;
    for (const MealPlan::Line &l : before)
        old.insert(l.id, &l);
    QSet<qint64> kept;
    auto orNull = [](const QString &s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    for (MealPlan::Line l : after) {
        const MealPlan::Line *was = old.value(l.id);
        if (!was) {
            qlonglong id = 0;
            if (!c.exec(QStringLiteral("INSERT INTO Selected (Item, Category, Aisle, Quantity) "
                                       "VALUES (?, ?, ?, ?)"),
                        {l.item, orNull(l.category), orNull(l.aisle), l.quantity}, error, nullptr, &id) ||
                !c.exec(QStringLiteral("INSERT INTO MealLines (LineID) VALUES (?)"), {id}, error))
                return false;
            l.id = id;
        } else {
            kept.insert(l.id);
            if ((was->item != l.item || was->quantity != l.quantity) &&
                !c.exec(QStringLiteral("UPDATE Selected SET Item = ?, Quantity = ? WHERE ID = ?"),
                        {l.item, l.quantity, l.id}, error))
                return false;
            bool same = was->parts.size() == l.parts.size();
            for (qsizetype i = 0; same && i < l.parts.size(); ++i)
                same = was->parts.at(i).meal == l.parts.at(i).meal &&
                       was->parts.at(i).amount == l.parts.at(i).amount &&
                       was->parts.at(i).item == l.parts.at(i).item;
            if (same)
                continue;
            if (!c.exec(QStringLiteral("DELETE FROM MealParts WHERE LineID = ?"), {l.id}, error))
                return false;
        }
        for (qsizetype i = 0; i < l.parts.size(); ++i) {
            const MealPlan::Part &p = l.parts.at(i);
            if (!c.exec(QStringLiteral("INSERT INTO MealParts (LineID, Seq, MealID, MealName, Item, "
                                       "Amount) VALUES (?, ?, ?, ?, ?, ?)"),
                        {l.id, int(i), p.meal, p.mealName, p.item, p.amount}, error))
                return false;
        }
    }
    for (const MealPlan::Line &l : before) {
        if (kept.contains(l.id))
            continue;
        if (!c.exec(QStringLiteral("DELETE FROM Selected WHERE ID = ?"), {l.id}, error) ||
            !c.exec(QStringLiteral("DELETE FROM MealParts WHERE LineID = ?"), {l.id}, error) ||
            !c.exec(QStringLiteral("DELETE FROM MealLines WHERE LineID = ?"), {l.id}, error))
            return false;
    }
    return true;
}

} // namespace

bool addToList(Connection &c, const QVector<Plan> &plans, const QSet<QString> &skip, QString *error)
{
    QList<MealPlan::Line> before;
    if (!lines(c, &before, error))
        return false;
    QList<MealPlan::Line> after = before;
    for (const Plan &p : plans) {
        MealPlan::Meal meal;
        if (!load(c, p.meal, &meal, error))
            return false;
        after = MealPlan::add(after, meal, p.servings, skip);
    }
    return writeLines(c, before, after, error);
}

bool removeFromList(Connection &c, qint64 meal, QString *error)
{
    QList<MealPlan::Line> before;
    if (!lines(c, &before, error))
        return false;
    return writeLines(c, before, MealPlan::remove(before, meal), error);
}

bool mealsOnList(Connection &c, QVector<Row> *out, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT MealID, MIN(MealName) FROM MealParts WHERE LineID IN "
                                 "(SELECT ID FROM Selected) GROUP BY MealID ORDER BY MIN(MealName) "
                                 "COLLATE NOCASE"),
                  &rows, error))
        return false;
    out->clear();
    for (const auto &r : std::as_const(rows.rows))
        out->append({r.value(0).toLongLong(), r.value(1).toString(), 0, QString()});
    return true;
}

bool forTexts(Connection &c, QHash<qint64, QString> *out, QString *error)
{
    out->clear();
    bool meals = false;
    if (!hasTable(c, "MealParts", &meals, error))
        return false;
    Connection::Rows any;
    if (!meals)
        return true; // a file of before meals
    if (!c.select(QStringLiteral("SELECT 1 FROM MealParts LIMIT 1"), &any, error))
        return false;
    QList<MealPlan::Line> all;
    if (any.rows.isEmpty())
        return true;
    if (!lines(c, &all, error))
        return false;
    for (const MealPlan::Line &l : std::as_const(all)) {
        if (l.parts.isEmpty())
            continue;
        // A typed quantity shows the meals' parts beside it.
        QString text = MealPlan::forText(l);
        if (l.typed())
            text = QStringLiteral("+ ") + MealPlan::mealsQuantity(l.parts) + QLatin1Char(' ') + text;
        out->insert(l.id, text);
    }
    return true;
}

bool recordTickedAsBought(Connection &c, const QDate &day, QString *error)
{
    bool ticks = false, purchases = false;
    if (!hasTable(c, "ShareTicks", &ticks, error) || !hasTable(c, "Purchases", &purchases, error))
        return false;
    if (!ticks || !purchases)
        return true;
    return c.exec(QStringLiteral("INSERT INTO Purchases (Item, Bought, Amount) SELECT Item, ?, "
                                 "Quantity FROM Selected WHERE ID IN (SELECT LineID FROM ShareTicks "
                                 "WHERE Taken = 0) AND Item IS NOT NULL ORDER BY ID"),
                  {day.toString(Qt::ISODate)}, error);
}

namespace
{

// Each item's purchase days by folded name, and the name it was last bought
// under. Names and days repeat thousands of times in ten years of
// purchases: each is looked up as SQLite holds it, and folded or parsed
// only the first time.
bool readPurchases(Connection &c, QHash<QString, QList<QDate>> *days, QHash<QString, QString> *lastName,
                   QString *error)
{
    QHash<QString, QList<QDate>> bought;
    QHash<QByteArray, QString> folded;
    QHash<QByteArray, QDate> parsed;
    struct Latest {
        QByteArray day, name;
    };
    QHash<QString, Latest> latest;
    const auto view = [](QByteArrayView v) { return QByteArray::fromRawData(v.data(), v.size()); };
    const bool read = c.selectTexts(
        QStringLiteral("SELECT Item, Bought FROM Purchases"), {},
        [&](const QByteArrayView *cell) {
            auto key = folded.constFind(view(cell[0]));
            if (key == folded.cend()) {
                const QByteArray item = cell[0].toByteArray();
                key = folded.insert(item, foldName(QString::fromUtf8(item)));
            }
            auto date = parsed.constFind(view(cell[1]));
            if (date == parsed.cend()) {
                const QByteArray day = cell[1].toByteArray();
                date = parsed.insert(day, QDate::fromString(QString::fromLatin1(day), Qt::ISODate));
            }
            bought[*key].append(*date);
            if (lastName) {
                // ISO days sort as text; on one day the later row wins.
                Latest &l = latest[*key];
                if (date.key() >= l.day)
                    l = {date.key(), key.key()};
            }
        },
        error);
    if (!read)
        return false;
    *days = std::move(bought);
    if (lastName) {
        lastName->clear();
        for (auto it = latest.cbegin(); it != latest.cend(); ++it)
            lastName->insert(it.key(), QString::fromUtf8(it->name));
    }
    return true;
}

} // namespace

bool history(Connection &c, QHash<QString, QList<QDate>> *out, QString *error)
{
    return readPurchases(c, out, nullptr, error);
}

bool choices(Connection &c, Usual::Choices *out, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT ItemKey, Stopped, Always, QuietUntil FROM UsualChoices"),
                  &rows, error))
        return false;
    *out = {};
    for (const auto &r : std::as_const(rows.rows)) {
        const QString key = r.value(0).toString();
        if (r.value(1).toInt())
            out->stopped.insert(key);
        if (r.value(2).toInt())
            out->always.insert(key);
        const QDate until = QDate::fromString(r.value(3).toString(), Qt::ISODate);
        if (until.isValid())
            out->notUntil.insert(key, until);
    }
    return true;
}

bool setChoice(Connection &c, const QString &key, Choice choice, const QDate &until, QString *error)
{
    if (key.isEmpty()) {
        if (error)
            *error = QStringLiteral("The item has no name.");
        return false;
    }
    switch (choice) {
    case Choice::Forget:
        return c.exec(QStringLiteral("DELETE FROM UsualChoices WHERE ItemKey = ?"), {key}, error);
    case Choice::NotThisTime:
        return c.exec(QStringLiteral("INSERT INTO UsualChoices (ItemKey, QuietUntil) VALUES (?1, ?2) "
                                     "ON CONFLICT (ItemKey) DO UPDATE SET QuietUntil = ?2"),
                      {key, until.toString(Qt::ISODate)}, error);
    case Choice::StopSuggesting:
        return c.exec(QStringLiteral("INSERT INTO UsualChoices (ItemKey, Stopped) VALUES (?1, 1) ON "
                                     "CONFLICT (ItemKey) DO UPDATE SET Stopped = 1, Always = 0"),
                      {key}, error);
    case Choice::AlwaysHave:
        return c.exec(QStringLiteral("INSERT INTO UsualChoices (ItemKey, Always) VALUES (?1, 1) ON "
                                     "CONFLICT (ItemKey) DO UPDATE SET Always = 1, Stopped = 0, "
                                     "QuietUntil = NULL"),
                      {key}, error);
    }
    return false;
}

bool due(Connection &c, const QDate &today, QList<Due> *out, QString *error)
{
    QHash<QString, QList<QDate>> bought;
    QHash<QString, QString> lastName;
    Usual::Choices said;
    Connection::Rows onList;
    if (!readPurchases(c, &bought, &lastName, error) || !choices(c, &said, error) ||
        !c.select(QStringLiteral("SELECT Item FROM Selected"), &onList, error))
        return false;
    QSet<QString> listed;
    for (const auto &r : std::as_const(onList.rows))
        listed.insert(foldName(r.value(0).toString()));
    out->clear();
    QStringList names; // as last bought, to find in the catalogue
    bool unnamed = false;
    for (const Usual::Suggestion &s : Usual::due(bought, today, listed, said)) {
        Due d;
        d.suggestion = s;
        d.item = lastName.value(s.key);
        if (d.item.isEmpty())
            unnamed = true;
        else
            names << d.item;
        out->append(d);
    }
    if (out->isEmpty())
        return true;
    // Only the few items due are looked up, in one pass over the catalogue.
    Connection::Rows found;
    if (!c.select(QStringLiteral("SELECT Item, Category, Aisle FROM Vendora WHERE Item IN (SELECT "
                                 "value FROM json_each(?)) ORDER BY ID DESC"),
                  {QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(names))
                                         .toJson(QJsonDocument::Compact))},
                  &found, error))
        return false;
    QHash<QString, const QVector<QVariant> *> byName; // the first item of a name wins
    for (const auto &r : std::as_const(found.rows))
        byName.insert(r.value(0).toString(), &r);
    QHash<QString, int> byKey; // folded name -> its first row
    RowStore items;
    if (unnamed) {
        // Marked "always have" and never bought: named as the catalogue names it.
        if (!catalogue(c, &items, error))
            return false;
        for (int r = items.rowCount() - 1; r >= 0; --r)
            byKey.insert(foldName(items.value(r, 0).toString()), r);
    }
    for (Due &d : *out) {
        const int row = d.item.isEmpty() ? byKey.value(d.suggestion.key, -1) : -1;
        if (const QVector<QVariant> *r = byName.value(d.item)) {
            d.category = r->value(1).toString();
            d.aisle = r->value(2).toString();
        } else if (row >= 0) {
            d.item = items.value(row, 0).toString();
            d.category = items.value(row, 1).toString();
            d.aisle = items.value(row, 2).toString();
        } else if (d.item.isEmpty()) {
            d.item = d.suggestion.key;
        }
    }
    return true;
}

bool addLine(Connection &c, const QString &item, const QString &category, const QString &aisle,
             const QString &quantity, QString *error)
{
    auto orNull = [](const QString &s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    return c.exec(QStringLiteral("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                                 "(?, ?, ?, ?)"),
                  {item, orNull(category), orNull(aisle), quantity}, error);
}

bool catalogue(Connection &c, RowStore *out, QString *error)
{
    // Packed as read: a hundred thousand names are held once, compactly.
    QStringList columns;
    return c.select(QStringLiteral("SELECT Item, Category, Aisle FROM Vendora WHERE Item IS NOT NULL "
                                   "AND Item <> '' ORDER BY ID"),
                    {}, out, &columns, error);
}

bool categories(Connection &c, QStringList *out, QString *error)
{
    Connection::Rows rows;
    // No WHERE: tested per row it costs more than the one empty name skipped here.
    if (!c.select(QStringLiteral("SELECT DISTINCT Category FROM Vendora ORDER BY Category COLLATE "
                                 "NOCASE"),
                  &rows, error))
        return false;
    out->clear();
    for (const auto &r : std::as_const(rows.rows))
        if (const QString name = r.value(0).toString(); !name.isEmpty())
            out->append(name);
    return true;
}

bool itemsIn(Connection &c, const QString &category, QStringList *out, QString *error)
{
    Connection::Rows rows;
    // Sorted and made distinct here: SQLite's DISTINCT builds a tree of its own.
    if (!c.select(QStringLiteral("SELECT Item FROM Vendora WHERE Category = ? AND Item IS NOT NULL "
                                 "AND Item <> ''"),
                  {category}, &rows, error))
        return false;
    // Each name folded once, not at every comparison; ties in exact order,
    // so that a name read twice lies next to itself.
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(rows.rows.size());
    for (const auto &r : std::as_const(rows.rows)) {
        QString name = r.value(0).toString();
        keyed.emplace_back(name.toCaseFolded(), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
    out->clear();
    out->reserve(qsizetype(keyed.size()));
    for (auto &k : keyed)
        if (out->isEmpty() || out->constLast() != k.second)
            out->append(std::move(k.second));
    return true;
}

bool findItem(Connection &c, const QString &item, const QString &category, bool *known,
              QString *aisle, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT Aisle FROM Vendora WHERE Item = ? AND Category = ? ORDER "
                                 "BY ID LIMIT 1"),
                  {item, category}, &rows, error))
        return false;
    *known = !rows.rows.isEmpty();
    *aisle = *known ? rows.rows.first().value(0).toString() : QString();
    return true;
}

bool namesContaining(Connection &c, const QString &text, int limit, QStringList *out,
                     QString *error)
{
    out->clear();
    if (text.isEmpty())
        return true;
    // SQLite's LIKE ignores the case of ASCII letters only: the text is also
    // asked for in lower, upper and title case, and the answer checked here.
    auto pattern = [](QString t) {
        t.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('%'), QLatin1String("\\%"))
            .replace(QLatin1Char('_'), QLatin1String("\\_"));
        return QLatin1Char('%') + t + QLatin1Char('%');
    };
    const QString lower = text.toLower();
    const QVariantList like = {pattern(text), pattern(lower), pattern(text.toUpper()),
                               pattern(lower.left(1).toUpper() + lower.mid(1))};
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT DISTINCT Item FROM Vendora WHERE Item LIKE ?1 ESCAPE '\\' "
                                 "OR Item LIKE ?2 ESCAPE '\\' OR Item LIKE ?3 ESCAPE '\\' OR Item "
                                 "LIKE ?4 ESCAPE '\\' ORDER BY Item COLLATE NOCASE LIMIT ?5"),
                  like + QVariantList{limit}, &rows, error))
        return false;
    for (const auto &r : std::as_const(rows.rows)) {
        const QString name = r.value(0).toString();
        if (name.contains(text, Qt::CaseInsensitive))
            out->append(name);
    }
    return true;
}

bool addToCatalogue(Connection &c, const QString &item, const QString &category, QString *error)
{
    if (item.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("An item needs a name.");
        return false;
    }
    return c.exec(QStringLiteral("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?, ?, NULL)"),
                  {item.trimmed(), category.trimmed().isEmpty() ? QVariant() : QVariant(category.trimmed())},
                  error);
}

namespace
{
const QStringList kCsvHeader = {QStringLiteral("Meal"),     QStringLiteral("Serves"),
                                QStringLiteral("Meal Note"), QStringLiteral("Item"),
                                QStringLiteral("Category"), QStringLiteral("Aisle"),
                                QStringLiteral("Amount"),   QStringLiteral("Note")};

bool sameMeal(const Imported &a, const Row &b, const QVector<Ingredient> &bIn)
{
    if (a.meal.name.trimmed() != b.name || a.meal.serves != b.serves ||
        a.meal.note.trimmed() != b.note || a.ingredients.size() != bIn.size())
        return false;
    for (qsizetype i = 0; i < bIn.size(); ++i) {
        const Ingredient &x = a.ingredients.at(i), &y = bIn.at(i);
        if (x.item.trimmed() != y.item || x.category.trimmed() != y.category ||
            x.aisle.trimmed() != y.aisle || x.amount.trimmed() != y.amount ||
            x.note.trimmed() != y.note)
            return false;
    }
    return true;
}
} // namespace

QByteArray toCsv(const QVector<Row> &meals, const QHash<qint64, QVector<Ingredient>> &ingredients)
{
    QByteArray data = Csv::line(kCsvHeader);
    for (const Row &m : meals) {
        const QStringList meal = {m.name, QString::number(m.serves), m.note};
        const QVector<Ingredient> in = ingredients.value(m.id);
        if (in.isEmpty())
            data += Csv::line(meal + QStringList{QString(), QString(), QString(), QString(), QString()});
        for (const Ingredient &i : in)
            data += Csv::line(meal + QStringList{i.item, i.category, i.aisle, i.amount, i.note});
    }
    return data;
}

bool exportCsv(Connection &c, const QString &path, int *count, QString *error)
{
    QVector<Row> meals;
    if (!list(c, &meals, error))
        return false;
    QHash<qint64, QVector<Ingredient>> all;
    int rows = 0;
    for (const Row &m : std::as_const(meals)) {
        if (!ingredients(c, m.id, &all[m.id], error))
            return false;
        rows += std::max(1, int(all[m.id].size()));
    }
    if (!SafeFile::write(path, toCsv(meals, all), error))
        return false;
    if (count)
        *count = rows;
    return true;
}

bool readCsv(const Csv::Table &table, QVector<Imported> *out, QString *error)
{
    QVector<int> col;
    if (!Csv::columns(table, kCsvHeader, &col, error))
        return false;
    out->clear();
    // Rows of one meal follow each other; a meal's name starts the next.
    for (qsizetype r = 0; r < table.rows.size(); ++r) {
        const QStringList &row = table.rows.at(r);
        auto field = [&](int i) { return Csv::unprotect(row.at(col.at(i))).trimmed(); };
        const QString name = field(0);
        if (name.isEmpty()) {
            if (error)
                *error = QStringLiteral("line %1: a row without the meal's name.").arg(table.lines.value(r));
            return false;
        }
        bool ok = true;
        const int serves = field(1).isEmpty() ? 0 : field(1).toInt(&ok);
        if (!ok || serves < 0 || serves > 10000) {
            if (error)
                *error = QStringLiteral("line %1: \"%2\" is not a number of servings.")
                             .arg(table.lines.value(r))
                             .arg(field(1));
            return false;
        }
        if (out->isEmpty() || out->last().meal.name != name || out->last().meal.serves != serves ||
            out->last().meal.note != field(2))
            out->append(Imported{Row{0, name, serves, field(2)}, {}});
        if (!field(3).isEmpty())
            out->last().ingredients.append({field(3), field(4), field(5), field(6), field(7)});
    }
    return true;
}

bool importMeals(Connection &c, const QVector<Imported> &meals, int *added, int *same, QString *error)
{
    QVector<Row> held;
    if (!list(c, &held, error))
        return false;
    int a = 0, s = 0;
    for (const Imported &m : meals) {
        bool there = false;
        for (const Row &h : std::as_const(held)) {
            if (h.name != m.meal.name.trimmed())
                continue;
            QVector<Ingredient> in;
            if (!ingredients(c, h.id, &in, error))
                return false;
            if ((there = sameMeal(m, h, in)))
                break;
        }
        if (there) {
            ++s;
            continue;
        }
        qint64 id = 0;
        Row row = m.meal;
        if (!add(c, row.name, &id, error))
            return false;
        row.id = id;
        if (!update(c, row, error) || !setIngredients(c, id, m.ingredients, error))
            return false;
        held.append(row);
        ++a;
    }
    if (added)
        *added = a;
    if (same)
        *same = s;
    return true;
}

bool tidy(Connection &c, QString *error)
{
    return c.exec(QStringLiteral("DELETE FROM MealParts WHERE LineID NOT IN (SELECT ID FROM Selected)"),
                  {}, error) &&
           c.exec(QStringLiteral("DELETE FROM MealLines WHERE LineID NOT IN (SELECT ID FROM Selected)"),
                  {}, error);
}

} // namespace pantrio::Meals
