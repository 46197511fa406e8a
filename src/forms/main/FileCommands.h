#pragma once

class QWidget;

namespace pantrio
{

// The main window's File menu: backups, restore, CSV import and export.
// Each command asks through the dialog interface and reports what it did.
namespace FileCommands
{

void backUpNow(QWidget *parent);
// True when the data was replaced (the caller reloads its window).
bool restore(QWidget *parent);
// True when items were added.
bool importCatalogue(QWidget *parent);
void exportCatalogue(QWidget *parent);
void exportShoppingList(QWidget *parent);

} // namespace FileCommands
} // namespace pantrio
