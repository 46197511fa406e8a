#include "app/Program.h"

#include "app/Module1.h"
#include "app/Places.h"
#include "data/safety/Backup.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/frmVendora.h"
#include "forms/phone/frmShare.h"
#include "forms/meals/frmMeals.h"
#include "forms/stores/frmStores.h"
#include "uibase/Dialogs.h"
#include "uibase/HelpViewer.h"
#include "uibase/TopLevelWindows.h"

#include <QDir>
#include <QScopedValueRollback>

#include <memory>

namespace pantrio
{

namespace
{

std::unique_ptr<Program> g_program;

template <typename Form> void unload(QPointer<Form> &slot)
{
    // Hidden now, deleted by the event loop once the handler that asked has
    // returned.
    if (Form *f = slot) {
        slot = nullptr;
        f->hide();
        f->deleteLater();
    }
}

// One window of a kind, whichever window asked for it: made and started on
// first use (told and dropped when it cannot start), then brought forward.
template <typename Form, typename Make, typename Start>
void openOne(QPointer<Form> &slot, QWidget *parent, Make make, Start start, const QString &failure)
{
    if (!slot) {
        Form *made = make();
        made->setAttribute(Qt::WA_DeleteOnClose);
        if (!start(made)) {
            Dialogs::notify(parent, failure + made->loadError());
            delete made;
            return;
        }
        slot = made;
        TopLevelWindows::adopt(made);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
}

} // namespace

Program &Program::instance()
{
    if (!g_program)
        g_program.reset(new Program);
    return *g_program;
}

void Program::end()
{
    // Every window, whoever made it, before the file they show.
    TopLevelWindows::closeAll();
    g_program.reset();
}

Program::Program()
{
    // A file replaced under the main window: it is loaded afresh, as
    // everything it shows and holds came from the old contents.
    connect(&m_household, &Household::changed, this, [this](Household::Changes what) {
        if (what.testFlag(Household::Replaced) && m_main)
            reloadMain();
    });
    // The file deleted or moved away while open: Pantrio still holds it,
    // and offers to put it back (after the refused write has been told).
    connect(&m_household, &Household::vanished, this, [this] { offerWriteBack(); },
            Qt::QueuedConnection);
}

Program::~Program()
{
    m_household.close();
}

void Program::setHighestID(const QVariant &id)
{
    m_highestID = id.isNull() ? QVariant(qlonglong(0)) : id;
}

bool Program::start()
{
    const QString path = Places::database();
    HelpViewer::setHelpFile(Places::helpFile());
    HelpViewer::setPlaces(
        {{QStringLiteral("{database}"), QDir::toNativeSeparators(path)},
         {QStringLiteral("{backups}"), QDir::toNativeSeparators(Backup::folderFor(path))}});
    if (!StartUp::prepare(path, &m_prepared))
        return false;
    // Opened once for the whole run, after the backup: an older file is
    // brought up to date before any window shows.
    QString error;
    if (!m_household.open(path, &error)) {
        StartUp::tellCannotOpen(path, error);
        return false;
    }
    if (m_prepared.readOnlyReason.isEmpty())
        m_prepared.readOnlyReason = m_household.readOnlyReason();
    frmVendora *f = mainWindow();
    if (!f->loadedOk()) {
        StartUp::tellCannotOpen(path, f->loadError());
        unloadMain();
        return false;
    }
    QVariant highest;
    if (!m_household.de().TopListID(&highest, &error)) {
        StartUp::tellCannotOpen(path, error);
        unloadMain();
        return false;
    }
    setHighestID(highest);
    f->show();
    if (!m_prepared.readOnlyReason.isEmpty()) {
        Dialogs::notify(f, QStringLiteral("%1 can only be read.\n\n%2\n\nYou can look at your "
                                          "shopping list and catalogue and print them; the "
                                          "commands that would change them are switched off. "
                                          "To change them, make the file and its folder "
                                          "writable for you, or copy Vendora.mdb into a folder "
                                          "of your own.")
                               .arg(QDir::toNativeSeparators(path), m_prepared.readOnlyReason));
    }
    return true;
}

void Program::setConnections(int formNo)
{
    // Every window works on the one open household file. A window gets it as
    // it is made, before its load.
    if (formNo == 1 && m_main)
        m_main->setConnections(m_household, Places::helpFile());
    else if (formNo == 2 && m_editor)
        m_editor->setConnections(m_household, Places::helpFile());
}

void Program::fillRecentList()
{
    if (frmVendora *f = mainWindow())
        f->fillRecentList(m_highestID);
}

frmVendora *Program::mainWindow()
{
    if (!m_main) {
        m_main = new frmVendora;
        TopLevelWindows::adopt(m_main);
        connect(m_main, &frmVendora::editorRequested, m_main, [this] { openEditor(); });
        connect(m_main, &frmVendora::storesRequested, m_main, [this] { openStores(); });
        connect(m_main, &frmVendora::mealsRequested, m_main, [this](bool usual) { openMeals(usual); });
        connect(m_main, &frmVendora::shareRequested, m_main, [this] { openShare(); });
        connect(m_main, &frmVendora::quitRequested, m_main, [] { Module1::endProgram(); });
        setConnections(1);
        m_main->Form_Load();
        if (!m_prepared.readOnlyReason.isEmpty())
            m_main->setReadOnly(m_prepared.readOnlyReason);
    }
    return m_main;
}

frmVendora *Program::mainIfLoaded() const
{
    return m_main;
}

frmAdding *Program::editorIfLoaded() const
{
    return m_editor;
}

frmStores *Program::storesIfOpen() const
{
    return m_stores;
}

frmMeals *Program::mealsIfOpen() const
{
    return m_meals;
}

frmShare *Program::shareIfOpen() const
{
    return m_share;
}

void Program::unloadMain()
{
    unload(m_main);
}

frmAdding *Program::editor()
{
    if (!m_editor) {
        m_editor = new frmAdding;
        TopLevelWindows::adopt(m_editor);
        connect(m_editor, &frmAdding::closed, m_editor, [this] { closeEditor(); });
        setConnections(2);
        m_editor->Form_Load();
    }
    return m_editor;
}

void Program::unloadEditor()
{
    unload(m_editor);
}

bool Program::storePending()
{
    bool ok = true;
    if (m_main)
        ok = m_main->storeTyping() && ok;
    if (m_editor)
        ok = m_editor->storeTyping() && ok;
    return ok;
}

// The hand-over between the windows: the editor is shown and the main window
// unloaded; when the editor has closed, the main window is loaded afresh and
// lists what was added.
void Program::openEditor()
{
    frmAdding *e = editor();
    if (!e->loadedOk()) {
        Dialogs::notify(m_main, e->loadError());
        unload(m_editor);
        return;
    }
    e->show();
    unload(m_main);
}

void Program::closeEditor()
{
    frmVendora *main = mainWindow();
    if (!main->loadedOk())
        Dialogs::notify(nullptr, main->loadError());
    main->show();
    fillRecentList();
    unload(m_editor);
}

void Program::openStores()
{
    openOne(m_stores, m_main, [] { return new frmStores; },
            [this](frmStores *w) { return w->load(m_household); }, QString());
}

void Program::openMeals(bool usual)
{
    openOne(m_meals, m_main, [] { return new frmMeals; },
            [this](frmMeals *w) { return w->load(m_household); }, QString());
    if (m_meals && usual)
        m_meals->showUsual();
}

// While the share window is open the list is shared.
void Program::openShare()
{
    openOne(m_share, m_main, [this] { return new frmShare(m_household); },
            [](frmShare *w) { return w->start(); },
            QStringLiteral("The list could not be shared: "));
}

// After a restore everything the main window shows came from the old data.
void Program::reloadMain()
{
    unload(m_main);
    frmVendora *fresh = mainWindow();
    if (!fresh->loadedOk())
        Dialogs::notify(nullptr, fresh->loadError());
    fresh->show();
}

void Program::offerWriteBack()
{
    if (m_askingWriteBack || !m_household.isGone())
        return;
    const QScopedValueRollback guard(m_askingWriteBack, true);
    QWidget *parent = m_main ? static_cast<QWidget *>(m_main) : m_editor;
    if (!Dialogs::askYesNo(parent, QStringLiteral("%1 was deleted or moved away while Pantrio had "
                                                  "it open. Pantrio still holds all of it: write "
                                                  "it back to its place?")
                                       .arg(QDir::toNativeSeparators(m_household.path()))))
        return;
    QString error;
    if (!m_household.writeBack(&error))
        Dialogs::notify(parent, error);
    else
        Dialogs::notify(parent, QStringLiteral("%1 is back in its place; changes are saved to "
                                               "it again.")
                                    .arg(QDir::toNativeSeparators(m_household.path())));
}

} // namespace pantrio
