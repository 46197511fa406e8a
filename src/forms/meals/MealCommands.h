#pragma once

#include <QHash>

class QString;
class QWidget;

namespace pantrio
{

class Household;

// What the Meals window and the File menu do with meals that takes more than
// one question: each asks through the dialog interface, writes through the
// file as one step of the history, and says what it did.
namespace MealCommands
{

// Recipe lines pasted into the meal's ingredients: each line matched in the
// catalogue, or picked, added or skipped by the user. True when written.
bool pasteRecipe(QWidget *parent, Household &file, qint64 meal);
// The ticked meals (by ID, with the servings asked) onto the list after the
// preview, less what the user unticked.
bool addToList(QWidget *parent, Household &file, const QHash<qint64, int> &meals);
// One of the meals on the list taken back.
bool removeFromList(QWidget *parent, Household &file);

} // namespace MealCommands
} // namespace pantrio
