#include "app/Module1.h"

#include "data/safety/Backup.h"
#include "data/access/Connection.h"
#include "data/access/DEVendora.h"
#include "data/household/Household.h"
#include "data/safety/DatabaseFile.h"
#include "data/access/Schema.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/frmVendora.h"
#include "forms/phone/frmShare.h"
#include "forms/stores/frmStores.h"
#include "uibase/Dialogs.h"
#include "uibase/HelpViewer.h"
#include "uibase/TopLevelWindows.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScopedValueRollback>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

#include <memory>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace pantrio::Module1
{

namespace
{
QString g_directory;
QVariant g_highestID;
std::unique_ptr<Household> g_household;
QPointer<frmVendora> g_main;
QPointer<frmAdding> g_editor;
QPointer<frmStores> g_stores;
QPointer<frmShare> g_share;
std::function<void()> g_endProgram;
std::unique_ptr<DatabaseFile::Lock> g_lock;
QString g_readOnlyReason;

QString chooseProgramDirectory(const QString &executableDir, const QString &userDataDir)
{
    if (QFileInfo::exists(QDir(executableDir).filePath(QStringLiteral("Vendora.mdb"))))
        return QDir::cleanPath(executableDir);
    return QDir::cleanPath(userDataDir);
}

// A program file (help, starter data) beside the executable, in ../share/pantrio
// from it, or in pantrio/ of the system's data folders; empty when none.
QString installedFile(const QString &name, const QString &executableDir,
                      const QStringList &systemDataDirs)
{
    QStringList candidates = {
        QDir(executableDir).filePath(name),
        QDir(executableDir).filePath(QStringLiteral("../share/pantrio/") + name)};
    for (const QString &dir : systemDataDirs)
        candidates << QDir(dir).filePath(QStringLiteral("pantrio/") + name);
    for (const QString &c : std::as_const(candidates))
        if (QFileInfo(c).isFile())
            return QDir::cleanPath(c);
    return {};
}

QString installed(const QString &name)
{
    // The system's data folders, not the user's own (the first): that one
    // holds the user's data, never the program's files.
    QStringList system = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    if (!system.isEmpty())
        system.removeFirst();
    return installedFile(name, QCoreApplication::applicationDirPath(), system);
}
} // namespace

void setProgramDirectory(const QString &directory)
{
    g_directory = QDir::cleanPath(directory);
}

QString userDataDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Pantrio"));
}

QString programDirectory()
{
    if (g_directory.isEmpty())
        g_directory =
            chooseProgramDirectory(QCoreApplication::applicationDirPath(), userDataDirectory());
    return g_directory;
}

QString strConnect()
{
    return QDir(programDirectory()).filePath(QStringLiteral("Vendora.mdb"));
}

QString helpFile()
{
    const QString beside = QDir(programDirectory()).filePath(QStringLiteral("Vendora.hlp"));
    if (QFileInfo(beside).isFile())
        return beside;
    const QString found = installed(QStringLiteral("Vendora.hlp"));
    return found.isEmpty() ? beside : found;
}

bool createStarterDatabase(QString *error)
{
    const QString path = strConnect();
    if (QFileInfo::exists(path))
        return true;
    if (!QDir().mkpath(programDirectory())) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.")
                         .arg(QDir::toNativeSeparators(programDirectory()));
        return false;
    }
    // The installed starter catalogue, else the one built into the program;
    // copying never writes over a file that is there.
    const QString starter = installed(QStringLiteral("Vendora.mdb"));
    if (!starter.isEmpty() && QFile::copy(starter, path)) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadGroup | QFileDevice::ReadOther);
        return true;
    }
    return Schema::createDatabase(path, true, error);
}

QVariant HighestID()
{
    return g_highestID;
}

void setHighestID(const QVariant &id)
{
    g_highestID = id.isNull() ? QVariant(qlonglong(0)) : id;
}

void reloadMain();

void offerWriteBack()
{
    static bool asking = false;
    Household &file = *g_household;
    if (asking || !file.isGone())
        return;
    const QScopedValueRollback guard(asking, true);
    QWidget *parent = g_main ? static_cast<QWidget *>(g_main) : g_editor;
    if (!Dialogs::askYesNo(parent, QStringLiteral("%1 was deleted or moved away while Pantrio had "
                                                  "it open. Pantrio still holds all of it: write "
                                                  "it back to its place?")
                                       .arg(QDir::toNativeSeparators(file.path()))))
        return;
    QString error;
    if (!file.writeBack(&error))
        Dialogs::notify(parent, error);
    else
        Dialogs::notify(parent, QStringLiteral("%1 is back in its place; changes are saved to "
                                               "it again.")
                                    .arg(QDir::toNativeSeparators(file.path())));
}

Household &household()
{
    if (!g_household) {
        g_household = std::make_unique<Household>();
        // A file replaced under the main window: it is loaded afresh, as
        // everything it shows and holds came from the old contents.
        QObject::connect(g_household.get(), &Household::changed, g_household.get(),
                         [](Household::Changes what) {
                             if (what.testFlag(Household::Replaced) && g_main)
                                 reloadMain();
                         });
        // The file deleted or moved away while open: Pantrio still holds it,
        // and offers to put it back (after the refused write has been told).
        QObject::connect(g_household.get(), &Household::vanished, g_household.get(),
                         [] { offerWriteBack(); }, Qt::QueuedConnection);
    }
    return *g_household;
}

DEVendora &de()
{
    return household().de();
}

void SetConnections(int FormNo)
{
    // Every window works on the one open household file. A window gets it as
    // it is made, before its load.
    if (FormNo == 1 && g_main)
        g_main->setConnections(household(), helpFile());
    else if (FormNo == 2 && g_editor)
        g_editor->setConnections(household(), helpFile());
}

void FillRecentList()
{
    frmVendora *f = frmVendoraInstance();
    if (!f)
        return;
    f->fillRecentList(HighestID());
}

namespace
{

void tellCannotOpen(const QString &why)
{
    Dialogs::notify(nullptr, QStringLiteral("Pantrio cannot open its database file\n%1\n\n%2\n\n%3")
                                 .arg(QDir::toNativeSeparators(strConnect()), why,
                                      Backup::restoreAdvice(strConnect())));
}

// Journals left beside the file by a session that did not end: the file's own
// are applied, others are moved aside into backups/ (never deleted), and the
// user decides where only they can know. False when the file cannot be used.
bool settleSideFiles()
{
    const QString path = strConnect();
    for (const DatabaseFile::SideFile &side : DatabaseFile::inspectSideFiles(path)) {
        const QString name = QFileInfo(side.path).fileName();
        bool apply = side.verdict == DatabaseFile::SideFile::Verdict::Own;
        if (side.verdict == DatabaseFile::SideFile::Verdict::Uncertain)
            apply = Dialogs::askYesNo(
                nullptr, QStringLiteral("%1\n\nApply these changes to %2?\n\nAnswer No if you "
                                        "have copied %2 from a backup or from elsewhere since: %3 "
                                        "is then moved into %4, and %2 is opened as it is.")
                             .arg(side.reason, QFileInfo(path).fileName(), name,
                                  QDir::toNativeSeparators(Backup::folderFor(path))));
        QString error;
        if (apply) {
            if (!DatabaseFile::recover(path, &error)) {
                tellCannotOpen(QStringLiteral("The interrupted save in %1 could not be undone: %2")
                                   .arg(name, error));
                return false;
            }
            continue;
        }
        QString movedTo;
        if (!DatabaseFile::setAside(side.path, Backup::folderFor(path), &movedTo, &error)) {
            tellCannotOpen(side.reason + QLatin1Char(' ') + error);
            return false;
        }
        Dialogs::notify(nullptr, QStringLiteral("%1\n\nIt was moved to %2 and not applied; %3 is "
                                                "opened as it is.")
                                     .arg(side.reason, QDir::toNativeSeparators(movedTo),
                                          QDir::toNativeSeparators(path)));
    }
    return true;
}

} // namespace

bool Main()
{
    const QString path = strConnect();
    HelpViewer::setHelpFile(helpFile());
    HelpViewer::setPlaces(
        {{QStringLiteral("{database}"), QDir::toNativeSeparators(path)},
         {QStringLiteral("{backups}"), QDir::toNativeSeparators(Backup::folderFor(path))}});
    // A first start in the user's data folder makes it, with the starter
    // catalogue, without a word.
    QString error;
    if (QDir::cleanPath(programDirectory()) == QDir::cleanPath(userDataDirectory()) &&
        !QFileInfo::exists(path) && !createStarterDatabase(&error)) {
        tellCannotOpen(
            QStringLiteral("Pantrio could not make its first database there: %1").arg(error));
        return false;
    }
    // One Pantrio at a time on a file, so neither overwrites the other's changes.
    if (QFileInfo::exists(path)) {
        g_lock = std::make_unique<DatabaseFile::Lock>(path);
        if (g_lock->acquire() == DatabaseFile::Lock::Result::HeldByOther) {
            Dialogs::notify(nullptr,
                            QStringLiteral("%1 is already open in Pantrio (%2).\n\nUse that "
                                           "window, or close it first: a file is open in one "
                                           "Pantrio at a time, so that neither overwrites the "
                                           "other's changes.")
                                .arg(QDir::toNativeSeparators(path), g_lock->holder()));
            g_lock.reset();
            return false;
        }
    }
    // Side files are applied or set aside only after the file as it stands
    // and each of them is kept, byte for byte.
    QStringList sides;
    for (const DatabaseFile::SideFile &side : DatabaseFile::inspectSideFiles(path))
        sides << side.path;
    if (!sides.isEmpty() && Backup::asFound(path, sides, &error).isEmpty()) {
        tellCannotOpen(QStringLiteral("Pantrio found %1 beside it and could not keep a copy of "
                                      "both before applying it, so it left them as they are: %2")
                           .arg(QDir::toNativeSeparators(sides.first()), error));
        return false;
    }
    if (!settleSideFiles())
        return false;
    // The database is checked before anything is shown, and the check only
    // reads, so a damaged or missing file ends the program with a message
    // naming it and nothing is written.
    if (!Schema::checkFile(path, &error)) {
        tellCannotOpen(error);
        return false;
    }
    g_readOnlyReason = whyNotWritable(path);
    if (g_readOnlyReason.isEmpty()) {
        // A copy of the file as it was, before anything is written.
        if (Backup::automatic(path, &error).isEmpty())
            Dialogs::notify(
                nullptr,
                QStringLiteral("Pantrio could not keep its start-up backup in "
                               "%1:\n%2\n\nYour data is untouched; Pantrio "
                               "goes on without the backup. To have backups again, "
                               "make that folder one you may write in, or remove "
                               "it so that Pantrio makes it anew.")
                    .arg(QDir::toNativeSeparators(Backup::automaticFolderFor(path)), error));
        // A file last used with a write-ahead log moves to the rollback journal
        // once; when that fails the file is used as it is, and the user told.
        if (!DatabaseFile::useRollbackJournal(path, &error))
            Dialogs::notify(nullptr,
                            QStringLiteral("%1 still uses a write-ahead log (the files -wal and "
                                           "-shm beside it): Pantrio could not switch it to its "
                                           "own journal.\n%2\n\nYour data is untouched and "
                                           "Pantrio goes on with the file as it is; it tries "
                                           "again at the next start.")
                                .arg(QDir::toNativeSeparators(path), error));
    }
    // Opened once for the whole run, after the backup: an older file is
    // brought up to date before any window shows.
    if (!household().open(path, &error)) {
        tellCannotOpen(error);
        return false;
    }
    if (g_readOnlyReason.isEmpty())
        g_readOnlyReason = household().readOnlyReason();
    frmVendora *f = frmVendoraInstance();
    if (!f->loadedOk()) {
        tellCannotOpen(f->loadError());
        unloadVendora();
        return false;
    }
    QVariant highest;
    if (!household().de().TopListID(&highest, &error)) {
        tellCannotOpen(error);
        unloadVendora();
        return false;
    }
    setHighestID(highest);
    f->show();
    if (!g_readOnlyReason.isEmpty()) {
        Dialogs::notify(f, QStringLiteral("%1 can only be read.\n\n%2\n\nYou can look at your "
                                          "shopping list and catalogue and print them; the "
                                          "commands that would change them are switched off. "
                                          "To change them, make the file and its folder "
                                          "writable for you, or copy Vendora.mdb into a folder "
                                          "of your own.")
                               .arg(QDir::toNativeSeparators(path), g_readOnlyReason));
    }
    return true;
}

QString readOnlyReason()
{
    return g_readOnlyReason;
}

namespace
{

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

// The hand-over between the windows: the editor is shown and the main window
// unloaded; when the editor has closed, the main window is loaded afresh and
// lists what was added.
void openEditor()
{
    frmAdding *editor = frmAddingInstance();
    if (!editor->loadedOk()) {
        Dialogs::notify(g_main, editor->loadError());
        unload(g_editor);
        return;
    }
    editor->show();
    unload(g_main);
}

void closeEditor()
{
    frmVendora *main = frmVendoraInstance();
    if (!main->loadedOk())
        Dialogs::notify(nullptr, main->loadError());
    main->show();
    FillRecentList();
    unload(g_editor);
}

// One Stores window, whichever window asked for it.
// One window of a kind, whichever window asked for it: made and started on
// first use (told and dropped when it cannot start), then brought forward.
template <typename Form, typename Start>
void openOne(QPointer<Form> &slot, Form *made, Start start, const QString &failure)
{
    if (!slot) {
        made->setAttribute(Qt::WA_DeleteOnClose);
        if (!start(made)) {
            Dialogs::notify(g_main, failure + made->loadError());
            delete made;
            return;
        }
        slot = made;
        TopLevelWindows::adopt(made);
    } else {
        delete made;
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
}

void openStores()
{
    openOne(g_stores, g_stores ? nullptr : new frmStores,
            [](frmStores *w) { return w->load(household()); }, QString());
}

} // namespace

// One share window: while it is open the list is shared.
void openShare()
{
    openOne(g_share, g_share ? nullptr : new frmShare(household()),
            [](frmShare *w) { return w->start(); },
            QStringLiteral("The list could not be shared: "));
}

// After a restore everything the main window shows came from the old data.
void reloadMain()
{
    unload(g_main);
    frmVendora *fresh = frmVendoraInstance();
    if (!fresh->loadedOk())
        Dialogs::notify(nullptr, fresh->loadError());
    fresh->show();
}

frmVendora *frmVendoraInstance()
{
    if (!g_main) {
        g_main = new frmVendora;
        TopLevelWindows::adopt(g_main);
        QObject::connect(g_main, &frmVendora::editorRequested, g_main, [] { openEditor(); });
        QObject::connect(g_main, &frmVendora::storesRequested, g_main, [] { openStores(); });
        QObject::connect(g_main, &frmVendora::shareRequested, g_main, [] { openShare(); });
        QObject::connect(g_main, &frmVendora::quitRequested, g_main, [] { endProgram(); });
        SetConnections(1);
        g_main->Form_Load();
        if (!g_readOnlyReason.isEmpty())
            g_main->setReadOnly(g_readOnlyReason);
    }
    return g_main;
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
    if (!g_editor) {
        g_editor = new frmAdding;
        TopLevelWindows::adopt(g_editor);
        QObject::connect(g_editor, &frmAdding::closed, g_editor, [] { closeEditor(); });
        SetConnections(2);
        g_editor->Form_Load();
    }
    return g_editor;
}

frmAdding *frmAddingIfLoaded()
{
    return g_editor;
}

void unloadAdding()
{
    unload(g_editor);
}

bool storePending()
{
    bool ok = true;
    if (g_main)
        ok = g_main->storeTyping() && ok;
    if (g_editor)
        ok = g_editor->storeTyping() && ok;
    return ok;
}

namespace
{
int g_signalPipe[2] = {-1, -1};

void onEndSignal(int)
{
    const char c = 1;
    // Only what is safe in a signal handler: the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
} // namespace

void handleSessionEnd()
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app || g_signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        storePending();
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    // The desktop's session manager asks before it logs out.
    QObject::connect(app, &QGuiApplication::commitDataRequest, app,
                     [](QSessionManager &) { storePending(); });
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

frmStores *frmStoresIfOpen()
{
    return g_stores;
}

frmShare *frmShareIfOpen()
{
    return g_share;
}

void shutdown()
{
    // Every window, whoever made it, before the file they show.
    TopLevelWindows::closeAll();
    g_household.reset();
    g_highestID = QVariant();
    g_lock.reset();
    g_readOnlyReason.clear();
}

} // namespace pantrio::Module1
