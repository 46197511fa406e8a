#pragma once

#include <QList>
#include <QSet>
#include <QString>

namespace pantrio::MealPlan
{

// What a meal put on a line: its amount there, scaled to the servings asked.
struct Part {
    qint64 meal = 0;
    QString mealName;
    QString amount;
    QString item; // the item as the meal names it
};

// A line of the list as the meals see it. Its quantity is the meals' own
// while it reads as their parts added up; one the user typed stays as typed,
// the parts shown beside it.
struct Line {
    qint64 id = 0; // the list's line; 0 for one not written yet
    QString item, category, aisle;
    QString quantity;
    QList<Part> parts;
    bool madeByMeals = false; // goes when the last meal needing it is taken back

    QString key() const;
    bool typed() const;
};

struct Ingredient {
    QString item, category, aisle;
    QString amount; // as typed in the meal
};

struct Meal {
    qint64 id = 0;
    QString name;
    int serves = 0; // 0: as written, whatever the servings
    QList<Ingredient> ingredients;
};

// The parts added up, the same whatever order the meals came in.
QString mealsQuantity(QList<Part> parts);
// "for Chili, Tacos", or empty.
QString forText(const Line &line);

// The meal for that many servings onto the list: one line per item (names
// folded for matching), its parts added up. Items whose keys are in skip
// (at home already) are left out.
QList<Line> add(QList<Line> lines, const Meal &meal, int servings, const QSet<QString> &skip = {});
// Exactly that meal's parts taken away: a line nothing else needs goes, the
// others' amounts go back.
QList<Line> remove(QList<Line> lines, qint64 meal);

// What adding would do, item by item, before anything is written.
struct Preview {
    enum class Kind { New, Grows, OnList };
    struct Entry {
        Kind kind;
        QString item;
        QString amount;
        QString key;
    };
    QList<Entry> entries;
};
Preview preview(const QList<Line> &lines, const Meal &meal, int servings);
// The same for several meals added one after another: an item once, with
// what all of them put there.
struct Planned {
    Meal meal;
    int servings = 0;
};
Preview preview(QList<Line> lines, const QList<Planned> &plans);

} // namespace pantrio::MealPlan
