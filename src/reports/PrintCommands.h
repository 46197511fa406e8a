#pragma once

#include <QString>

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
void run(QWidget *parent, Entry entry, DataControl *source, DEVendora &de);

// The open window of an entry, if any (for tests and the benchmark).
ReportPreview *window(Entry entry);
void closeAll();

QString versionText();

} // namespace PrintCommands
} // namespace pantrio
