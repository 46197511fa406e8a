#pragma once

#include "data/shopping/Stores.h"

#include <QString>

#include <optional>

class QWidget;

namespace pantrio
{

class DataControl;
class DEVendora;
class ReportPreview;

// The Print menu's entries and the version text of the main window.
namespace PrintCommands
{

enum class Entry { Pantrio, FullList, ByAisle };

// Checks there is something to print, saves the source, runs the report's
// command of the data environment and shows (or refreshes) the report's window.
// By aisle, the list is printed for the current store when there is one.
void run(QWidget *parent, Entry entry, DataControl *source, DEVendora &de);
// The same for a store given (or none: the list by aisle as it always was).
void runFor(QWidget *parent, Entry entry, DataControl *source, DEVendora &de,
            const std::optional<Stores::Store> &store);

// The open window of an entry, if any (for tests and the benchmark).
ReportPreview *window(Entry entry);
void closeAll();

QString versionText();

} // namespace PrintCommands
} // namespace pantrio
