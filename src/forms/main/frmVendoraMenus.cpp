// The main window's menu commands: File, Print and Help, which hand their
// work to the commands of each kind.
#include "forms/main/frmVendora.h"
#include "uibase/UndoCommands.h"

#include "appearance/Appearance.h"
#include "data/access/DataControl.h"
#include "data/shopping/Stores.h"
#include "forms/main/FileCommands.h"
#include "forms/phone/TakeAlongCommands.h"
#include "reports/PrintCommands.h"
#include "uibase/Design.h"
#include "uibase/Dialogs.h"
#include "uibase/HelpViewer.h"

namespace pantrio
{

namespace
{
constexpr int kWindowTopic = 10;
} // namespace

void frmVendora::mnuBackUp_Click()
{
    if (!storeTyping())
        return;
    FileCommands::backUpNow(this, *m_file);
}

void frmVendora::mnuRestore_Click()
{
    // The file announces the new contents; every window loads them afresh.
    FileCommands::restore(this, *m_file);
}

void frmVendora::mnuImport_Click()
{
    FileCommands::importCatalogue(this, *m_file);
}

void frmVendora::mnuExportCatalogue_Click()
{
    FileCommands::exportCatalogue(this, *m_file);
}

void frmVendora::mnuExportList_Click()
{
    if (!storeTyping())
        return;
    FileCommands::exportShoppingList(this, *m_file);
}

void frmVendora::mnuExportPhone_Click()
{
    if (!storeTyping())
        return;
    TakeAlongCommands::exportForPhone(this, m_adoList, *m_de);
}

void frmVendora::mnuShowQr_Click()
{
    if (!storeTyping())
        return;
    TakeAlongCommands::showQrCode(this, m_adoList, *m_de);
}

void frmVendora::mnuCopyText_Click()
{
    if (!storeTyping())
        return;
    TakeAlongCommands::copyAsText(this, m_adoList, *m_de);
}

void frmVendora::mnuImportStores_Click()
{
    FileCommands::importStoreAisles(this, *m_file);
}

void frmVendora::mnuExportStores_Click()
{
    FileCommands::exportStoreAisles(this, *m_file);
}

void frmVendora::mnuImportMeals_Click()
{
    FileCommands::importMeals(this, *m_file);
}

void frmVendora::mnuExportMeals_Click()
{
    FileCommands::exportMeals(this, *m_file);
}

void frmVendora::mnuAislePrintStore_Click()
{
    if (!storeTyping())
        return;
    // Another store's order, for this print only: the current store stays.
    QVector<Stores::Store> stores;
    QString error;
    if (m_file->hasStores() && !Stores::list(m_file->connection(), &stores, &error))
        return showError(error);
    if (stores.isEmpty())
        return showError(QStringLiteral("There are no stores yet. Add them in Stores…, each with "
                                        "its aisles and the order you walk them."));
    QStringList names;
    int current = 0;
    for (const Stores::Store &s : std::as_const(stores)) {
        if (s.current)
            current = int(names.size());
        names << s.name;
    }
    const int chosen = Dialogs::instance().chooseItem(
        this, QStringLiteral("Print by Aisle"), QStringLiteral("Print the list in the order of:"),
        names, current);
    if (chosen >= 0)
        PrintCommands::runFor(this, PrintCommands::Entry::ByAisle, m_adoList, *m_de,
                              stores.at(chosen));
}

void frmVendora::mnuPrint_Click()
{
    if (!storeTyping())
        return;
    PrintCommands::run(this, PrintCommands::Entry::Pantrio, m_adoList, *m_de);
}

void frmVendora::mnuPrintFull_Click()
{
    PrintCommands::run(this, PrintCommands::Entry::FullList, m_adoVendora, *m_de);
}

void frmVendora::mnuAislePrint_Click()
{
    if (!storeTyping())
        return;
    PrintCommands::run(this, PrintCommands::Entry::ByAisle, m_adoList, *m_de);
}

void frmVendora::mnuHelpShow_Click()
{
    HelpViewer::showTopic(m_helpFile, kWindowTopic);
}

void frmVendora::showHelpForFocus()
{
    HelpViewer::showTopic(m_helpFile, helpTopicOf(focusWidget(), kWindowTopic));
}

void frmVendora::mnuVersion_Click()
{
    Dialogs::notify(this, PrintCommands::versionText());
}

void frmVendora::DialogShowing(int choice)
{
    Appearance::DialogShowing(this, Appearance::Window::Main, m_adoSettings, choice,
                              designedFont());
}

void frmVendora::buildEditMenu(Household &file)
{
    // Edit comes after File, before the menus the window has always had.
    if (findChild<QMenu *>(QStringLiteral("mnuEdit")))
        return;
    UndoCommands::addEditMenu(this, file, menuBar()->actions().value(1),
                              [this] { return storeTyping(); });
    // The lines ticked on the phones, taken off the list as one step.
    QMenu *edit = findChild<QMenu *>(QStringLiteral("mnuEdit"));
    edit->addSeparator();
    QAction *remove = edit->addAction(QStringLiteral("Remove Ticked Lines"));
    remove->setObjectName(QStringLiteral("mnuRemoveTicked"));
    connect(remove, &QAction::triggered, this, &frmVendora::mnuRemoveTicked_Click);
}

} // namespace pantrio
