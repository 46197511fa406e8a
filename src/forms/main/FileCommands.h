#pragma once

class QString;
class QWidget;

namespace pantrio
{

class Household;

// The main window's File menu: backups, restore, CSV import and export of the
// open household file; every change goes through it as one step of the history. Each command asks through the dialog interface and
// reports what it did.
namespace FileCommands
{

void backUpNow(QWidget *parent, Household &file);
// True when the data was replaced (the caller reloads its window).
bool restore(QWidget *parent, Household &file);
// True when items were added.
bool importCatalogue(QWidget *parent, Household &file);
void exportCatalogue(QWidget *parent, Household &file);
void exportShoppingList(QWidget *parent, Household &file);
// Each store's own aisles (Store, Item, Category, Aisle): all rows or none.
void importStoreAisles(QWidget *parent, Household &file);
void exportStoreAisles(QWidget *parent, Household &file);
// Meals with their ingredients; a meal the file holds already is not added twice.
void importMeals(QWidget *parent, Household &file);
void exportMeals(QWidget *parent, Household &file);

} // namespace FileCommands
} // namespace pantrio
