#include "data/shopping/MealPlan.h"

#include "data/shopping/Amount.h"

#include <QHash>

#include <algorithm>

namespace pantrio::MealPlan
{

namespace
{

QString scaled(const QString &amount, const Meal &meal, int servings)
{
    Amount a = Amount::parse(amount);
    if (!a.known() || meal.serves <= 0 || servings <= 0 || servings == meal.serves)
        return a.known() ? a.toString() : amount.trimmed();
    const double f = double(servings) / meal.serves;
    a.low *= f;
    a.high *= f;
    return a.toString();
}

qsizetype find(const QList<Line> &lines, const QString &key)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines.at(i).key() == key)
            return i;
    return -1;
}

// A line the meals made is named as the first of its meals names it,
// whatever order they came in.
void nameByFirstMeal(Line &l)
{
    if (!l.madeByMeals || l.parts.isEmpty())
        return;
    l.item = std::min_element(l.parts.cbegin(), l.parts.cend(), [](const Part &a, const Part &b) {
                 return a.meal < b.meal;
             })->item;
}

} // namespace

QString Line::key() const
{
    return foldName(item);
}

bool Line::typed() const
{
    return quantity != mealsQuantity(parts);
}

QString mealsQuantity(QList<Part> parts)
{
    // In the meals' order, not the order they were added in.
    std::stable_sort(parts.begin(), parts.end(),
                     [](const Part &a, const Part &b) { return a.meal < b.meal; });
    QList<Amount> amounts;
    for (const Part &p : std::as_const(parts)) {
        Amount a = Amount::parse(p.amount);
        if (!a.known())
            a.text = p.amount.trimmed();
        amounts << a;
    }
    QList<Amount> total = addUp(amounts);
    std::stable_sort(total.begin(), total.end(), [](const Amount &a, const Amount &b) {
        return a.dimension != b.dimension ? a.dimension > b.dimension : a.unit < b.unit;
    });
    return describe(total);
}

QString forText(const Line &line)
{
    QStringList names;
    QList<Part> parts = line.parts;
    std::stable_sort(parts.begin(), parts.end(),
                     [](const Part &a, const Part &b) { return a.meal < b.meal; });
    for (const Part &p : std::as_const(parts))
        if (!names.contains(p.mealName))
            names << p.mealName;
    return names.isEmpty() ? QString() : QStringLiteral("for ") + names.join(QStringLiteral(", "));
}

QList<Line> add(QList<Line> lines, const Meal &meal, int servings, const QSet<QString> &skip)
{
    for (const Ingredient &in : meal.ingredients) {
        const QString key = foldName(in.item);
        if (key.isEmpty() || skip.contains(key))
            continue;
        const Part part{meal.id, meal.name, scaled(in.amount, meal, servings), in.item.trimmed()};
        qsizetype at = find(lines, key);
        if (at < 0) {
            Line made;
            made.item = in.item.trimmed();
            made.category = in.category;
            made.aisle = in.aisle;
            made.madeByMeals = true;
            lines << made;
            at = lines.size() - 1;
        }
        Line &l = lines[at];
        const bool own = !l.typed();
        l.parts << part;
        nameByFirstMeal(l);
        if (own)
            l.quantity = mealsQuantity(l.parts);
    }
    return lines;
}

QList<Line> remove(QList<Line> lines, qint64 meal)
{
    QList<Line> out;
    for (Line l : std::as_const(lines)) {
        const bool own = !l.typed();
        const qsizetype before = l.parts.size();
        l.parts.removeIf([meal](const Part &p) { return p.meal == meal; });
        if (l.parts.size() != before) {
            if (l.parts.isEmpty() && l.madeByMeals && own)
                continue;
            if (own)
                l.quantity = mealsQuantity(l.parts);
            nameByFirstMeal(l);
        }
        out << l;
    }
    return out;
}

Preview preview(const QList<Line> &lines, const Meal &meal, int servings)
{
    Preview p;
    QSet<QString> seen;
    for (const Ingredient &in : meal.ingredients) {
        const QString key = foldName(in.item);
        if (key.isEmpty() || seen.contains(key))
            continue;
        seen.insert(key);
        const qsizetype at = find(lines, key);
        Preview::Kind kind = Preview::Kind::New;
        if (at >= 0)
            kind = lines.at(at).typed() ? Preview::Kind::OnList : Preview::Kind::Grows;
        p.entries.append({kind, in.item.trimmed(), scaled(in.amount, meal, servings), key});
    }
    return p;
}

Preview preview(QList<Line> lines, const QList<Planned> &plans)
{
    Preview out;
    QHash<QString, qsizetype> at;
    QList<QList<Part>> amounts;
    for (const Planned &p : plans) {
        const Preview one = preview(lines, p.meal, p.servings);
        for (const Preview::Entry &e : one.entries) {
            const Part part{p.meal.id, p.meal.name, e.amount, e.item};
            const auto found = at.constFind(e.key);
            if (found == at.cend()) {
                at.insert(e.key, out.entries.size());
                out.entries.append(e);
                amounts.append({part});
                continue;
            }
            amounts[*found].append(part);
            out.entries[*found].amount = mealsQuantity(amounts.at(*found));
        }
        lines = add(lines, p.meal, p.servings);
    }
    return out;
}

} // namespace pantrio::MealPlan
