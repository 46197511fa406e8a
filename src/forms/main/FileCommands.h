#pragma once

class QString;
class QWidget;

namespace pantrio
{

// The main window's File menu: backups, restore, CSV import and export of the
// database at databasePath. Each command asks through the dialog interface and
// reports what it did.
namespace FileCommands
{

void backUpNow(QWidget *parent, const QString &databasePath);
// True when the data was replaced (the caller reloads its window).
bool restore(QWidget *parent, const QString &databasePath);
// True when items were added.
bool importCatalogue(QWidget *parent, const QString &databasePath);
void exportCatalogue(QWidget *parent, const QString &databasePath);
void exportShoppingList(QWidget *parent, const QString &databasePath);
// Each store's own aisles (Store, Item, Category, Aisle): all rows or none.
void importStoreAisles(QWidget *parent, const QString &databasePath);
void exportStoreAisles(QWidget *parent, const QString &databasePath);

} // namespace FileCommands
} // namespace pantrio
