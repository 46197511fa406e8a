#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace pantrio
{

class DEVendora;
class frmVendora;
class frmAdding;

// The program-wide values and routines both windows share: where the data is,
// the report data environment, the highest catalogue ID at start-up, and the
// single instances of the two windows (created and loaded on first use).
namespace Module1
{

// The folder holding Vendora.mdb and Vendora.hlp; the executable's by default.
void setProgramDirectory(const QString &directory);
QString programDirectory();
QString strConnect(); // the database file
QString helpFile();

// Largest catalogue ID at start-up. An empty catalogue counts as 0, so every
// item added during the run is recent.
QVariant HighestID();
void setHighestID(const QVariant &id);

DEVendora &de();

void SetConnections(int FormNo);
void FillRecentList();

// Runs the start-up; false when the database cannot be used (already told).
bool Main();
// Why the database cannot be changed in this run; empty when it can.
QString readOnlyReason();

// The window instances. frmVendoraInstance() loads the main window when it is
// not loaded; the *IfLoaded variants never create one.
frmVendora *frmVendoraInstance();
frmVendora *frmVendoraIfLoaded();
void unloadVendora();
frmAdding *frmAddingInstance();
frmAdding *frmAddingIfLoaded();
void unloadAdding();

// Ends the program at once; tests replace it.
void endProgram();
void setEndProgramHandler(std::function<void()> handler);

// Releases every window, the data environment and the file's lock (end of a
// test or of the run, whether or not the start-up succeeded).
void shutdown();

} // namespace Module1
} // namespace pantrio
