#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace pantrio
{

class DEVendora;
class Household;
class frmVendora;
class frmAdding;
class frmMeals;
class frmStores;
class frmShare;

// The face the windows call, under the names they know: where the data is,
// the report data environment, the highest catalogue ID at start-up, and the
// single instances of the windows. Behind it, Places says where things are,
// StartUp settles the file before it is opened, Program owns the open file
// and the windows, and SessionEnd ends a session's way.
namespace Module1
{

// The folder holding Vendora.mdb and backups/: the executable's when a
// Vendora.mdb stands beside it (a portable copy, and the tests), else the
// user's data folder ($XDG_DATA_HOME/Pantrio), which outlives any build or
// installation. Tests set it.
void setProgramDirectory(const QString &directory);
QString programDirectory();
QString userDataDirectory();
QString strConnect(); // the database file
// Vendora.hlp in the program directory, else where it was installed.
QString helpFile();
// Makes the database with the starter catalogue where there is none.
bool createStarterDatabase(QString *error);

// Largest catalogue ID at start-up. An empty catalogue counts as 0, so every
// item added during the run is recent.
QVariant HighestID();
void setHighestID(const QVariant &id);

// The open household file, shared by every window; the report data
// environment runs on it.
Household &household();
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
frmStores *frmStoresIfOpen();
frmMeals *frmMealsIfOpen();
frmShare *frmShareIfOpen();

// Stores what is being typed in any window, as closing it would; false when
// something could not be stored (told).
bool storePending();
// Ends the session's way: on SIGTERM or SIGHUP (a logout, a kill by the
// system) and on the session manager's request, what is pending is stored;
// the signals then end the event loop with 0, so the lock is released.
void handleSessionEnd();

// Ends the program at once; tests replace it.
void endProgram();
void setEndProgramHandler(std::function<void()> handler);

// Releases every window, the data environment and the file's lock (end of a
// test or of the run, whether or not the start-up succeeded).
void shutdown();

} // namespace Module1
} // namespace pantrio
