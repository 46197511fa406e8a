#include "forms/editor/frmAdding.h"

#include "appearance/Appearance.h"
#include "data/access/DataControl.h"
#include "data/shopping/EditSession.h"
#include "data/access/RecordSet.h"
#include "data/access/RecordSources.h"
#include "forms/editor/DataCombo.h"
#include "forms/editor/EditorStrips.h"
#include "forms/main/frmVendora.h"
#include "uibase/Design.h"
#include "uibase/Dialogs.h"
#include "uibase/HelpViewer.h"
#include "uibase/LongText.h"
#include "uibase/UndoCommands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopedValueRollback>

namespace pantrio
{

namespace
{
constexpr int kWindowTopic = 30;
const char *const kFieldNames[4] = {"Aisle", "Category", "ID", "Item"};
} // namespace

frmAdding::frmAdding()
    : m_adoCat(new DataControl(QStringLiteral("adoCat"), Sources::editorCategories(), this)),
      m_adoVend(new DataControl(QStringLiteral("adoVend"), Sources::findList(), this)),
      m_adoSettings(new DataControl(QStringLiteral("adoSettings"),
                                    Sources::settings(QStringLiteral("Settings2")), this))
{
    setObjectName(QStringLiteral("frmAdding"));
    setWindowTitle(QStringLiteral("Enter Info"));
    setFont(designFont(QStringLiteral("Souvenir Lt BT"), 9.75));
    buildControls();
    buildMenus();
    enableMenuKey(this);
}

frmAdding::~frmAdding()
{
    delete m_rs;
}

void frmAdding::setConnections(Household &file, const QString &helpFile)
{
    if (m_file)
        disconnect(m_file, nullptr, this, nullptr);
    m_file = &file;
    m_helpFile = helpFile;
    for (DataControl *c : {m_adoCat, m_adoVend, m_adoSettings})
        c->setConnection(&file.connection());
    // A category typed in is added as a step of its own.
    m_adoCat->recordset()->setGate(file.gate("Add Category", nullptr, nullptr,
                                             Household::Categories));
    // Appearance is stored at once and announced, but is no step of the history.
    m_adoSettings->recordset()->setGate(file.gate(nullptr, nullptr, nullptr, Household::Appearance));
    connect(m_file, &Household::changed, this, &frmAdding::fileChanged);
    // Edit comes first: the window has no File menu. A change being typed is
    // written first, so Undo takes back that change, and Redo brings it back.
    if (!findChild<QMenu *>(QStringLiteral("mnuEdit")))
        UndoCommands::addEditMenu(this, file, menuBar()->actions().value(0), [this] {
            return storeTyping();
        });
}

bool frmAdding::storeTyping()
{
    QString error;
    if (!m_session || finishPendingChange(&error))
        return true;
    showError(error);
    return false;
}

// Changes made elsewhere (undone from the Edit menu, or by another window):
// the record shown stays the same item where it still exists.
void frmAdding::fileChanged(Household::Changes what, const QObject *origin)
{
    if (!m_rs || m_closing)
        return;
    const QScopedValueRollback readingBack(m_readingBack, true);
    QString error;
    if (what & (Household::Categories | Household::Replaced)) {
        if (!m_adoCat->refresh(&error))
            showError(error);
        cboCat->refresh();
    }
    if (!(what & (Household::Catalogue | Household::Replaced)))
        return;
    if (origin != m_rs) {
        if (!m_session->reread(&error))
            return showError(error);
        showRecord();
        refreshFindList();
    }
    // The editor's own writes: its handlers re-read the find list as the
    // editor always has.
}

void frmAdding::Form_Load()
{
    m_loadError.clear();
    QString error;
    bool ok = Appearance::CheckSettings(this, Appearance::Window::Editor, m_adoSettings, &error);
    if (ok) {
        m_rs = new RecordSet(&m_file->connection(), Sources::editorItems(), this);
        // Each written addition, edit and deletion is a step of the file's
        // history; deleting an item deletes its aisles in the stores.
        m_rs->setGate(m_file->gate("Add Item", "Edit Item", "Delete Item",
                                   Household::Catalogue | Household::StoresAndAisles));
        m_rs->setObjectName(QStringLiteral("adoPrimaryRS"));
        // Leaving a record writes its pending change, as the fields are bound to it.
        m_rs->setUpdateOnMove(true);
        connect(m_rs, &RecordSet::moveComplete, this, &frmAdding::showRecord);
        // A written or dropped change shows in the fields; the status line
        // follows moves only ("Edit record" stays after Update).
        connect(m_rs, &RecordSet::rowChanged, this, [this](int row) {
            if (row == m_rs->currentIndex())
                showFields();
        });
        connect(m_rs, &RecordSet::valueChanged, this, [this](int row, int) {
            if (row == m_rs->currentIndex())
                showFields();
        });
        m_session = new EditSession(
            m_rs, {QStringLiteral("Item"), QStringLiteral("Category"), QStringLiteral("Aisle")},
            this);
        connect(m_session, &EditSession::modeChanged, this, [this](EditSession::Mode mode) {
            SetBrowseMode(mode == EditSession::Mode::Browse);
        });
        ok = m_rs->open(&error);
    }
    ok = ok && m_adoCat->refresh(&error) && m_adoVend->refresh(&error);
    if (!ok) {
        m_loadError = error.isEmpty() ? QStringLiteral("The catalogue could not be read.") : error;
        return;
    }
    cboCat->setRowSource(m_adoCat->recordset(), QStringLiteral("Categories"),
                         QStringLiteral("Categories"));
    cboFind->setRowSource(m_adoVend->recordset(), QStringLiteral("Item"), QStringLiteral("ID"));
    SetBrowseMode(true);
    showRecord();
    // Key preview: the window sees every key before the focused control.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

void frmAdding::showRecord()
{
    if (!m_rs)
        return;
    showFields();
    setLiveText(lblStatus, QStringLiteral("Record: ") + QString::number(m_rs->absolutePosition()));
}

void frmAdding::showFields()
{
    m_showing = true;
    for (int i = 0; i < 4; ++i) {
        const QVariant v =
            m_rs->hasCurrent() ? m_rs->value(QLatin1String(kFieldNames[i])) : QVariant();
        if (m_fields[i]->text() != v.toString())
            m_fields[i]->setText(v.toString());
    }
    m_showing = false;
}

void frmAdding::fieldEdited(int index, const QString &text)
{
    if (m_showing || !m_session || index == 2)
        return;
    m_session->setField(QLatin1String(kFieldNames[index]), text);
}

bool frmAdding::adding() const
{
    return m_session && m_session->adding();
}

bool frmAdding::editing() const
{
    return m_session && m_session->editing();
}

void frmAdding::showError(const QString &error)
{
    Dialogs::notifyError(this, error, m_readingBack);
}

void frmAdding::step(int which)
{
    bool pastEnd = false;
    QString error;
    if (!m_session->move(EditSession::Step(which), &pastEnd, &error))
        return showError(error);
    if (pastEnd)
        Dialogs::instance().beep();
}

void frmAdding::cmdFirst_Click()
{
    step(int(EditSession::Step::First));
}

void frmAdding::cmdLast_Click()
{
    step(int(EditSession::Step::Last));
}

void frmAdding::cmdNext_Click()
{
    step(int(EditSession::Step::Next));
}

void frmAdding::cmdPrevious_Click()
{
    step(int(EditSession::Step::Previous));
}

void frmAdding::Form_KeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (adding() || editing())
        return;
    if (const std::optional<EditSession::Step> s = stepForKey(key, shift))
        step(int(*s));
}

bool frmAdding::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *w = qobject_cast<QWidget *>(watched);
        // Only the focused control's own event, once, reaches the key preview.
        if (w && w == QApplication::focusWidget() && w->window() == this) {
            Form_KeyDown(key->key(), key->modifiers());
            if (watched->objectName() == QLatin1String("txtFields") &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
                focusNextChild(); // Enter moves on like Tab, and is swallowed
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmAdding::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        HelpViewer::showTopic(m_helpFile, helpTopicOf(focusWidget(), kWindowTopic));
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void frmAdding::refreshFindList()
{
    QString error;
    if (!m_adoVend->refresh(&error))
        showError(error);
    cboFind->refresh();
}

void frmAdding::cmdAdd_Click()
{
    QString error;
    if (!m_session->add(&error))
        return showError(error);
    setLiveText(lblStatus, QStringLiteral("Add record"));
    m_fields[3]->setFocus();
}

void frmAdding::cmdEdit_Click()
{
    setLiveText(lblStatus, QStringLiteral("Edit record"));
    m_session->edit();
}

void frmAdding::cmdUpdate_Click()
{
    QString error;
    if (!m_session->update(&error))
        return showError(error);
    // Stored: a failure now is only of reading it back, and said so.
    const QScopedValueRollback readingBack(m_readingBack, true);
    refreshFindList();
}

void frmAdding::cmdCancel_Click()
{
    m_session->cancel();
    showRecord();
}

void frmAdding::cmdDelete_Click()
{
    if (!Dialogs::askYesNo(this, QStringLiteral("Are you sure you want to delete this record?")))
        return;
    QString error;
    if (!m_session->removeCurrent(&error))
        return showError(error);
    const QScopedValueRollback readingBack(m_readingBack, true);
    showRecord();
    refreshFindList();
}

void frmAdding::cmdRefresh_Click()
{
    QString error;
    // A change typed in browse mode is written, not lost, by the re-read.
    if (m_rs->isPending() && !m_rs->update(&error))
        return showError(error);
    if (!m_rs->requery(&error))
        showError(error);
}

// Writes a pending addition or edit as leaving the record would (a new record
// left blank is dropped), back in browse mode with the lists up to date.
bool frmAdding::finishPendingChange(QString *error)
{
    const bool wasAdding = adding();
    const bool changing = wasAdding || editing();
    if (!m_session->finish(error))
        return false;
    const QScopedValueRollback readingBack(m_readingBack, true);
    if (changing) {
        refreshFindList();
        if (wasAdding)
            showRecord();
    }
    return true;
}

void frmAdding::cboCat_Click()
{
    const QString text = cboCat->text();
    if (text.isEmpty())
        return;
    m_fields[1]->setText(text);
    fieldEdited(1, text);
    if (cboCat->matchedWithList())
        return;
    QString error;
    if (!m_adoCat->recordset()->addRecord(QStringLiteral("Categories"), text, &error))
        return showError(error);
    const QScopedValueRollback readingBack(m_readingBack, true);
    if (!m_adoCat->refresh(&error))
        showError(error);
    cboCat->refresh();
}

void frmAdding::cboFind_Click()
{
    const QVariant bound = cboFind->boundText();
    if (bound.isNull())
        return;
    const bool matched = cboFind->matchedWithList();
    const QString text = cboFind->text();
    if (!matched) {
        Dialogs::notify(this, QStringLiteral("Can't find ") + text + QStringLiteral("."));
        cboFind->setText(QString());
        return;
    }
    // Moving to the found item writes a pending addition or edit first, and
    // the editor returns to browse mode, so the buttons tell the truth.
    QString error;
    if (!finishPendingChange(&error))
        return showError(error);
    if (!m_rs->moveFirst())
        return;
    m_rs->find(Criterion{QStringLiteral("ID"), bound});
}

void frmAdding::cmdRefreshCombo_Click()
{
    refreshFindList();
    QString error;
    // The re-read would drop a pending change, so it is written first.
    if (!finishPendingChange(&error))
        return showError(error);
    if (!m_rs->requery(&error))
        showError(error);
}

void frmAdding::mnuHelp_Click()
{
    HelpViewer::showTopic(m_helpFile, kWindowTopic);
}

void frmAdding::DialogShowing(int choice)
{
    // Preset, as always, with the main window's designed font, read without
    // loading that window.
    Appearance::DialogShowing(this, Appearance::Window::Editor, m_adoSettings, choice,
                              frmVendora::designedFont());
}

bool frmAdding::Form_QueryUnload()
{
    QString error;
    if (!finishPendingChange(&error)) {
        Dialogs::notify(this, QStringLiteral("Your change could not be saved, so the editor stays "
                                             "open:\n") +
                                  error);
        return false;
    }
    return true;
}

void frmAdding::cmdQuit_Click()
{
    close();
}

void frmAdding::mnuExit_Click()
{
    close();
}

void frmAdding::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    m_closing = true;
    event->accept();
    // The program brings the main window back, loaded afresh.
    emit closed();
}

} // namespace pantrio
