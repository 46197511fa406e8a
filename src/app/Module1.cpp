#include "app/Module1.h"

#include "app/Places.h"
#include "app/Program.h"
#include "app/SessionEnd.h"

#include <QCoreApplication>

namespace pantrio::Module1
{

namespace
{
std::function<void()> g_endProgram;
} // namespace

void setProgramDirectory(const QString &directory)
{
    Places::setProgramDirectory(directory);
}
QString programDirectory()
{
    return Places::programDirectory();
}
QString userDataDirectory()
{
    return Places::userDataDirectory();
}
QString strConnect()
{
    return Places::database();
}
QString helpFile()
{
    return Places::helpFile();
}
bool createStarterDatabase(QString *error)
{
    return Places::createStarterDatabase(error);
}

QVariant HighestID()
{
    return Program::instance().highestID();
}
void setHighestID(const QVariant &id)
{
    Program::instance().setHighestID(id);
}

Household &household()
{
    return Program::instance().household();
}
DEVendora &de()
{
    return household().de();
}

void SetConnections(int FormNo)
{
    Program::instance().setConnections(FormNo);
}
void FillRecentList()
{
    Program::instance().fillRecentList();
}

bool Main()
{
    return Program::instance().start();
}
QString readOnlyReason()
{
    return Program::instance().readOnlyReason();
}

frmVendora *frmVendoraInstance()
{
    return Program::instance().mainWindow();
}
frmVendora *frmVendoraIfLoaded()
{
    return Program::instance().mainIfLoaded();
}
void unloadVendora()
{
    Program::instance().unloadMain();
}
frmAdding *frmAddingInstance()
{
    return Program::instance().editor();
}
frmAdding *frmAddingIfLoaded()
{
    return Program::instance().editorIfLoaded();
}
void unloadAdding()
{
    Program::instance().unloadEditor();
}
frmMeals *frmMealsIfOpen()
{
    return Program::instance().mealsIfOpen();
}

frmStores *frmStoresIfOpen()
{
    return Program::instance().storesIfOpen();
}
frmShare *frmShareIfOpen()
{
    return Program::instance().shareIfOpen();
}

bool storePending()
{
    return Program::instance().storePending();
}
void handleSessionEnd()
{
    SessionEnd::handle([] { storePending(); });
}

void endProgram()
{
    if (g_endProgram)
        g_endProgram();
    else
        QCoreApplication::exit(0);
}
void setEndProgramHandler(std::function<void()> handler)
{
    g_endProgram = std::move(handler);
}

void shutdown()
{
    Program::end();
}

} // namespace pantrio::Module1
