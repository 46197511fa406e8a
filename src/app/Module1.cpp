#include "Module1.h"

#include "Backup.h"
#include "DEVendora.h"
#include "Dialogs.h"
#include "Schema.h"
#include "frmAdding.h"
#include "frmVendora.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

#include <memory>

namespace pantrio::Module1
{

namespace
{
QString g_directory;
QVariant g_highestID;
std::unique_ptr<DEVendora> g_de;
QPointer<frmVendora> g_main;
QPointer<frmAdding> g_editor;
std::function<void()> g_endProgram;
} // namespace

void setProgramDirectory(const QString &directory)
{
    g_directory = QDir::cleanPath(directory);
}

QString programDirectory()
{
    if (g_directory.isEmpty())
        g_directory = QCoreApplication::applicationDirPath();
    return g_directory;
}

QString strConnect()
{
    return QDir(programDirectory()).filePath(QStringLiteral("Vendora.mdb"));
}

QString helpFile()
{
    return QDir(programDirectory()).filePath(QStringLiteral("Vendora.hlp"));
}

QVariant HighestID()
{
    return g_highestID;
}

void setHighestID(const QVariant &id)
{
    g_highestID = id.isNull() ? QVariant(qlonglong(0)) : id;
}

DEVendora &de()
{
    if (!g_de)
        g_de = std::make_unique<DEVendora>();
    return *g_de;
}

void SetConnections(int FormNo)
{
    // Same values on every call; the data environment keeps an open connection.
    de().setConnectionString(strConnect());
    if (FormNo == 1) {
        if (frmVendora *f = frmVendoraInstance())
            f->setConnections(strConnect(), helpFile());
    } else if (FormNo == 2) {
        if (frmAdding *f = frmAddingInstance())
            f->setConnections(strConnect(), helpFile());
    }
}

void FillRecentList()
{
    frmVendora *f = frmVendoraInstance();
    if (!f)
        return;
    f->fillRecentList(HighestID());
}

bool Main()
{
    // The database is checked before anything is shown, so a damaged or missing
    // file ends the program with a message naming it and nothing is written.
    QString error;
    if (!Schema::checkFile(strConnect(), &error)) {
        Dialogs::notify(nullptr, QStringLiteral("Pantrio cannot open its database file\n%1\n\n%2")
                                     .arg(QDir::toNativeSeparators(strConnect()), error));
        return false;
    }
    // A copy of the file as it was, before anything is written.
    if (Backup::automatic(strConnect(), &error).isEmpty())
        Dialogs::notify(nullptr,
                        QStringLiteral("Pantrio could not keep its start-up backup in "
                                       "%1:\n%2\n\nYour data is untouched; Pantrio "
                                       "goes on without the backup.")
                            .arg(QDir::toNativeSeparators(Backup::folderFor(strConnect())), error));
    SetConnections(1);
    frmVendora *f = frmVendoraIfLoaded();
    if (!f || !f->loadedOk()) {
        const QString why = f ? f->loadError() : QStringLiteral("The main window did not load.");
        Dialogs::notify(nullptr, QStringLiteral("Pantrio cannot open its database file\n%1\n\n%2")
                                     .arg(QDir::toNativeSeparators(strConnect()), why));
        unloadVendora();
        return false;
    }
    QVariant highest;
    if (!de().TopListID(&highest, &error)) {
        Dialogs::notify(nullptr, QStringLiteral("Pantrio cannot open its database file\n%1\n\n%2")
                                     .arg(QDir::toNativeSeparators(strConnect()), error));
        unloadVendora();
        return false;
    }
    setHighestID(highest);
    f->show();
    return true;
}

namespace
{
// A window is created and loaded on first use, and unloaded by hiding it and
// letting the event loop delete it once its own handler has returned.
template <typename Form> Form *instance(QPointer<Form> &slot)
{
    if (!slot) {
        slot = new Form;
        slot->Form_Load();
    }
    return slot;
}

template <typename Form> void unload(QPointer<Form> &slot)
{
    if (Form *f = slot) {
        slot = nullptr;
        f->hide();
        f->deleteLater();
    }
}
} // namespace

frmVendora *frmVendoraInstance()
{
    return instance(g_main);
}

frmVendora *frmVendoraIfLoaded()
{
    return g_main;
}

void unloadVendora()
{
    unload(g_main);
}

frmAdding *frmAddingInstance()
{
    return instance(g_editor);
}

frmAdding *frmAddingIfLoaded()
{
    return g_editor;
}

void unloadAdding()
{
    unload(g_editor);
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
    delete g_editor.data();
    delete g_main.data();
    g_de.reset();
    g_highestID = QVariant();
}

} // namespace pantrio::Module1
