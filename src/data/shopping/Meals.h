#pragma once

#include "data/formats/Csv.h"
#include "data/shopping/MealPlan.h"
#include "data/shopping/RecipeMatch.h"
#include "data/shopping/Usual.h"

#include <QDate>
#include <QVector>

namespace pantrio
{

class Connection;
class RowStore;

// The household's meals in the open file, what they put on the list, and
// the purchases the usual items are learnt from. Each function writes or
// reads on the connection it is given; the windows run the writes as changes
// of the file (one step of the history each).
namespace Meals
{

struct Row {
    qint64 id = 0;
    QString name;
    int serves = 0;
    QString note;
};
struct Ingredient {
    QString item, category, aisle;
    QString amount;
    QString note;
};

bool list(Connection &c, QVector<Row> *out, QString *error);
bool add(Connection &c, const QString &name, qint64 *id, QString *error);
bool update(Connection &c, const Row &meal, QString *error);
// A copy named "<name> (copy)" with every ingredient.
bool duplicate(Connection &c, qint64 id, qint64 *copy, QString *error);
bool remove(Connection &c, qint64 id, QString *error);

bool ingredients(Connection &c, qint64 meal, QVector<Ingredient> *out, QString *error);
// The meal's ingredients replaced by these, in this order.
bool setIngredients(Connection &c, qint64 meal, const QVector<Ingredient> &in, QString *error);
bool load(Connection &c, qint64 id, MealPlan::Meal *out, QString *error);

// The list as the meals see it: every line, with the parts the meals put there.
bool lines(Connection &c, QList<MealPlan::Line> *out, QString *error);
struct Plan {
    qint64 meal = 0;
    int servings = 0;
};
// The meals onto the list (what is at home, by folded name, left out).
bool addToList(Connection &c, const QVector<Plan> &plans, const QSet<QString> &skip, QString *error);
// Exactly that meal's parts taken back.
bool removeFromList(Connection &c, qint64 meal, QString *error);
// The meals on the list now, by ID, with their names (for "Remove Meal from List").
bool mealsOnList(Connection &c, QVector<Row> *out, QString *error);
// What each line is for ("for Chili, Tacos"), by line ID.
bool forTexts(Connection &c, QHash<qint64, QString> *out, QString *error);

// The lines ticked now, recorded as bought on that day (before they go).
bool recordTickedAsBought(Connection &c, const QDate &day, QString *error);
// Each item's purchase days, by folded name.
bool history(Connection &c, QHash<QString, QList<QDate>> *out, QString *error);

// What the household said about its usual items, by folded name.
bool choices(Connection &c, Usual::Choices *out, QString *error);
enum class Choice { NotThisTime, StopSuggesting, AlwaysHave, Forget };
// Forget: the item back to being suggested by its rhythm alone.
bool setChoice(Connection &c, const QString &key, Choice choice, const QDate &until, QString *error);
struct Due {
    Usual::Suggestion suggestion;
    QString item, category, aisle; // as last bought, or as the catalogue names it
};
// The items due today, never one on the list.
bool due(Connection &c, const QDate &today, QList<Due> *out, QString *error);
// An item put on the list with its quantity (one step of its own).
bool addLine(Connection &c, const QString &item, const QString &category, const QString &aisle,
             const QString &quantity, QString *error);

// The catalogue as pasted recipes are matched against, and its categories.
// Columns Item, Category, Aisle, in the catalogue's order.
bool catalogue(Connection &c, RowStore *out, QString *error);
bool categories(Connection &c, QStringList *out, QString *error);
// The names of a category's items, sorted as a reader expects.
bool itemsIn(Connection &c, const QString &category, QStringList *out, QString *error);
// Whether the catalogue holds the item under that category, and its aisle.
bool findItem(Connection &c, const QString &item, const QString &category, bool *known,
              QString *aisle, QString *error);
// Up to limit names that contain text, whatever its case: asked as the user
// types, so that no window holds the whole catalogue to complete from it.
bool namesContaining(Connection &c, const QString &text, int limit, QStringList *out,
                     QString *error);
bool addToCatalogue(Connection &c, const QString &item, const QString &category, QString *error);

// Meals as a CSV file: one row per ingredient ("Meal", "Serves", "Meal Note",
// "Item", "Category", "Aisle", "Amount", "Note"), a meal without any as one
// row; *count gets the rows written.
QByteArray toCsv(const QVector<Row> &meals, const QHash<qint64, QVector<Ingredient>> &ingredients);
bool exportCsv(Connection &c, const QString &path, int *count, QString *error);
struct Imported {
    Row meal;
    QVector<Ingredient> ingredients;
};
bool readCsv(const Csv::Table &table, QVector<Imported> *out, QString *error);
// Adds the meals the file does not hold already (the same name and
// ingredients); *added and *same count each kind.
bool importMeals(Connection &c, const QVector<Imported> &meals, int *added, int *same, QString *error);

// Parts and marks of lines no longer on the list, once the history is gone.
bool tidy(Connection &c, QString *error);

} // namespace Meals
} // namespace pantrio
