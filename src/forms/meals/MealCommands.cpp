#include "forms/meals/MealCommands.h"

#include "data/owner/Household.h"
#include "data/shopping/Meals.h"
#include "data/text/Plural.h"
#include "uibase/Dialogs.h"

#include <QSet>

namespace pantrio::MealCommands
{

namespace
{

const QString kPaste = QStringLiteral("Paste a Recipe");

// The user's word on one line the catalogue does not name exactly.
enum class Pick { Item, Skip, SkipRest, Cancel };

Pick pickForLine(QWidget *parent, const RecipeMatch &catalogue, const RecipeMatch::Line &line,
                 const QStringList &categories, Meals::Ingredient *out, bool *newItem)
{
    const QString name = line.parsed.name.trimmed();
    QStringList offered;
    for (int i : line.closest)
        offered << catalogue.item(i).name;
    const qsizetype addAt = offered.size();
    offered << QStringLiteral("Add \u201C%1\u201D to the catalogue…").arg(name)
            << QStringLiteral("Skip this line") << QStringLiteral("Skip this and every line left");
    const int chosen = Dialogs::instance().chooseItem(
        parent, kPaste,
        QStringLiteral("\u201C%1\u201D is not in the catalogue by that name. Which item is it?")
            .arg(line.text),
        offered, 0);
    if (chosen < 0)
        return Pick::Cancel;
    if (chosen == addAt + 1)
        return Pick::Skip;
    if (chosen == addAt + 2)
        return Pick::SkipRest;
    *newItem = chosen == addAt;
    if (!*newItem) {
        const RecipeMatch::Item item = catalogue.item(line.closest.at(chosen));
        out->item = item.name;
        out->category = item.category;
        out->aisle = item.aisle;
        return Pick::Item;
    }
    // A new item: its category, one of the catalogue's or a new one.
    QStringList kinds = categories;
    kinds << QStringLiteral("A new category…");
    const int kind = Dialogs::instance().chooseItem(
        parent, kPaste, QStringLiteral("The category of \u201C%1\u201D:").arg(name), kinds, 0);
    if (kind < 0)
        return Pick::Cancel;
    QString category = kinds.at(kind);
    if (kind == kinds.size() - 1) {
        const std::optional<QString> typed =
            Dialogs::instance().askText(parent, kPaste, QStringLiteral("The new category:"), QString());
        if (!typed || typed->trimmed().isEmpty())
            return Pick::Cancel;
        category = typed->trimmed();
    }
    out->item = name;
    out->category = category;
    return Pick::Item;
}

QString kindText(MealPlan::Preview::Kind kind)
{
    switch (kind) {
    case MealPlan::Preview::Kind::New:
        return QStringLiteral("new");
    case MealPlan::Preview::Kind::Grows:
        return QStringLiteral("more");
    case MealPlan::Preview::Kind::OnList:
        return QStringLiteral("on the list already, beside what you typed");
    }
    return {};
}

} // namespace

bool pasteRecipe(QWidget *parent, Household &file, qint64 meal)
{
    const std::optional<QString> pasted = Dialogs::instance().askLongText(
        parent, kPaste,
        QStringLiteral("Paste the recipe's ingredient lines, one to a line (\u201C200 g plain "
                       "flour\u201D, \u201C2 onions, chopped\u201D):"),
        QString());
    if (!pasted || pasted->trimmed().isEmpty())
        return false;
    RowStore items;
    QStringList categories;
    QVector<Meals::Ingredient> had;
    QString error;
    if (!Meals::catalogue(file.connection(), &items, &error) ||
        !Meals::categories(file.connection(), &categories, &error) ||
        !Meals::ingredients(file.connection(), meal, &had, &error))
        return Dialogs::notify(parent, error), false;
    const RecipeMatch catalogue(items);
    QVector<Meals::Ingredient> in = had;
    QList<Meals::Ingredient> newItems;
    QSet<QString> added; // a new item named twice is added once
    int skipped = 0;
    bool skipRest = false;
    for (const RecipeMatch::Line &line : catalogue.match(*pasted)) {
        Meals::Ingredient i;
        i.amount = line.parsed.amount.known() ? line.parsed.amount.toString()
                                              : line.parsed.amount.text.trimmed();
        i.note = line.parsed.note;
        if (line.match >= 0) {
            const RecipeMatch::Item item = catalogue.item(line.match);
            i.item = item.name;
            i.category = item.category;
            i.aisle = item.aisle;
        } else if (skipRest) {
            ++skipped;
            continue;
        } else {
            bool isNew = false;
            switch (pickForLine(parent, catalogue, line, categories, &i, &isNew)) {
            case Pick::Cancel:
                return false;
            case Pick::SkipRest:
                skipRest = true;
                [[fallthrough]];
            case Pick::Skip:
                ++skipped;
                continue;
            case Pick::Item:
                break;
            }
            if (isNew && !added.contains(foldName(i.item))) {
                added.insert(foldName(i.item));
                newItems << i;
            }
        }
        in << i;
    }
    const int count = int(in.size() - had.size());
    if (count == 0 && newItems.isEmpty())
        return Dialogs::notify(parent, QStringLiteral("No ingredient was added.")), false;
    const bool ok = file.change(
        kPaste, Household::Meals | (newItems.isEmpty() ? Household::Changes() : Household::Catalogue),
        [&](QString *e) {
            for (const Meals::Ingredient &n : std::as_const(newItems))
                if (!Meals::addToCatalogue(file.connection(), n.item, n.category, e))
                    return false;
            return Meals::setIngredients(file.connection(), meal, in, e);
        },
        &error);
    if (!ok)
        return Dialogs::notify(parent, error), false;
    QStringList said = {plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n ingredient(s) added to %1."), count)
                            .arg(QStringLiteral("the meal"))};
    if (!newItems.isEmpty())
        said << plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n new item(s) added to the catalogue."),
                       int(newItems.size()));
    if (skipped)
        said << plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n line(s) skipped."), skipped);
    Dialogs::notify(parent, said.join(QLatin1Char(' ')));
    return true;
}

bool addToList(QWidget *parent, Household &file, const QHash<qint64, int> &meals)
{
    QList<MealPlan::Line> lines;
    QList<MealPlan::Planned> plans;
    QVector<Meals::Plan> writes;
    QString error;
    if (!Meals::lines(file.connection(), &lines, &error))
        return Dialogs::notify(parent, error), false;
    QList<qint64> ids = meals.keys();
    std::sort(ids.begin(), ids.end());
    for (qint64 id : std::as_const(ids)) {
        MealPlan::Planned p;
        if (!Meals::load(file.connection(), id, &p.meal, &error))
            return Dialogs::notify(parent, error), false;
        p.servings = meals.value(id);
        plans << p;
        writes << Meals::Plan{id, p.servings};
    }
    const MealPlan::Preview preview = MealPlan::preview(lines, plans);
    if (preview.entries.isEmpty())
        return Dialogs::notify(parent, QStringLiteral("These meals have no ingredients.")), false;
    QStringList offered;
    for (const MealPlan::Preview::Entry &e : preview.entries)
        offered << (e.amount.isEmpty() ? QStringLiteral("%1 (%2)").arg(e.item, kindText(e.kind))
                                       : QStringLiteral("%1: %2 (%3)").arg(e.item, e.amount, kindText(e.kind)));
    const std::optional<QList<bool>> ticks = Dialogs::instance().chooseSeveral(
        parent, QStringLiteral("Add Meals to List"),
        QStringLiteral("What the meals will put on the list. Untick what you have at home:"),
        offered, QList<bool>(offered.size(), true));
    if (!ticks)
        return false;
    QSet<QString> skip;
    for (qsizetype i = 0; i < preview.entries.size(); ++i)
        if (!ticks->value(i, true))
            skip.insert(preview.entries.at(i).key);
    if (skip.size() == preview.entries.size())
        return Dialogs::notify(parent, QStringLiteral("Nothing was added: every item was unticked.")), false;
    QStringList names;
    for (const MealPlan::Planned &p : std::as_const(plans))
        names << p.meal.name;
    if (!file.change(QStringLiteral("Add %1 to List").arg(names.join(QStringLiteral(", "))),
                     Household::List | Household::Meals,
                     [&](QString *e) { return Meals::addToList(file.connection(), writes, skip, e); },
                     &error))
        return Dialogs::notify(parent, error), false;
    return true;
}

bool removeFromList(QWidget *parent, Household &file)
{
    QVector<Meals::Row> on;
    QString error;
    if (!Meals::mealsOnList(file.connection(), &on, &error))
        return Dialogs::notify(parent, error), false;
    if (on.isEmpty())
        return Dialogs::notify(parent, QStringLiteral("No meal is on the list.")), false;
    QStringList names;
    for (const Meals::Row &m : std::as_const(on))
        names << m.name;
    const int chosen = Dialogs::instance().chooseItem(
        parent, QStringLiteral("Remove Meal from List"),
        QStringLiteral("Take this meal's ingredients off the list:"), names, 0);
    if (chosen < 0)
        return false;
    const Meals::Row meal = on.at(chosen);
    if (!file.change(QStringLiteral("Remove %1 from List").arg(meal.name),
                     Household::List | Household::Meals,
                     [&](QString *e) { return Meals::removeFromList(file.connection(), meal.id, e); },
                     &error))
        return Dialogs::notify(parent, error), false;
    return true;
}

} // namespace pantrio::MealCommands
