#include "data/shopping/Meals.h"

#include "data/access/Connection.h"
#include "data/shopping/Amount.h"

#include <QHash>

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
    QList<MealPlan::Line> all;
    if (!lines(c, &all, error))
        return false;
    out->clear();
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

bool history(Connection &c, QHash<QString, QList<QDate>> *out, QString *error)
{
    Connection::Rows rows;
    if (!c.select(QStringLiteral("SELECT Item, Bought FROM Purchases"), &rows, error))
        return false;
    out->clear();
    QHash<QString, QString> folded; // each name folded once
    for (const auto &r : std::as_const(rows.rows)) {
        const QString item = r.value(0).toString();
        auto it = folded.find(item);
        if (it == folded.end())
            it = folded.insert(item, foldName(item));
        (*out)[*it].append(QDate::fromString(r.value(1).toString(), Qt::ISODate));
    }
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
