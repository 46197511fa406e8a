#include "forms/main/frmVendora.h"

#include "appearance/Appearance.h"
#include "data/access/DEVendora.h"
#include "data/access/DataControl.h"
#include "data/text/Plural.h"
#include "data/models/RecordSetModel.h"
#include "data/access/RecordSources.h"
#include "data/shopping/Meals.h"
#include "data/shopping/ShoppingList.h"
#include "data/sharing/ShareStore.h"
#include "forms/main/CatalogueView.h"
#include "uibase/KeptTyping.h"
#include "uibase/Design.h"
#include "uibase/Dialogs.h"
#include "uibase/LongText.h"

#include <QEvent>
#include <QScopedValueRollback>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>

namespace pantrio
{

frmVendora::frmVendora()
    : m_adoCat(new DataControl(QStringLiteral("adoCat"), Sources::mainCategories(), this)),
      m_adoVendora(new DataControl(QStringLiteral("adoVendora"), Sources::catalogue(), this)),
      m_adoList(new DataControl(QStringLiteral("adoList"), Sources::shoppingList(), this)),
      m_adoSettings(new DataControl(QStringLiteral("adoSettings"),
                                    Sources::settings(QStringLiteral("Settings")), this)),
      m_catModel(new RecordSetModel(this)), m_listModel(new RecordSetModel(this))
{
    setObjectName(QStringLiteral("frmVendora"));
    setWindowTitle(QStringLiteral("Pantrio"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(designedFont());
    buildControls();
    buildMenus();
    enableMenuKey(this);
}

frmVendora::~frmVendora() = default;

QFont frmVendora::designedFont()
{
    return designFont(QStringLiteral("Souvenir Lt BT"), 9.75, true);
}

void frmVendora::showError(const QString &error)
{
    Dialogs::notifyError(this, error, m_readingBack);
}

void frmVendora::setConnections(Household &file, const QString &helpFile)
{
    if (m_file)
        disconnect(m_file, nullptr, this, nullptr);
    m_file = &file;
    m_helpFile = helpFile;
    m_de = &file.de();
    for (DataControl *c : {m_adoCat, m_adoVendora, m_adoList, m_adoSettings})
        c->setConnection(&file.connection());
    connect(m_file, &Household::changed, this, &frmVendora::fileChanged);
    // The grid's edits and deletions, and deleting a category, are steps of
    // the file's history.
    m_adoList->recordset()->setGate(
        file.gate(nullptr, "Quantity Edit", QT_TRANSLATE_N_NOOP("Pantrio", "Delete %n Row(s)"),
                  Household::List));
    m_adoCat->recordset()->setGate(
        file.gate(nullptr, nullptr, "Delete Category", Household::Categories));
    // Appearance is stored at once and announced, but is no step of the history.
    m_adoSettings->recordset()->setGate(file.gate(nullptr, nullptr, nullptr, Household::Appearance));
    buildEditMenu(file);
}

bool frmVendora::change(const QString &text, Household::Changes what,
                        const std::function<bool(QString *)> &write)
{
    QString error;
    if (m_file->change(text, what, write, &error))
        return true;
    showError(error);
    return false;
}

// One path for every change, whoever made it: what it touched is read again.
void frmVendora::fileChanged(Household::Changes what, const QObject *origin)
{
    if (what.testFlag(Household::Replaced))
        return; // the program loads the window afresh
    // Whatever fails from here is reading back a change that was stored.
    const QScopedValueRollback readingBack(m_readingBack, true);
    QString error;
    // A change the grid made itself is there already; a re-read would move
    // the grid under the user.
    if (what.testFlag(Household::List)) {
        if (origin == m_adoList->recordset()) {
            showCount();
            showTicks();
            setGridEnabledByCount();
        } else {
            rereadList();
        }
    } else if (what.testFlag(Household::Ticks)) {
        m_listModel->setTicks(m_file->ticksChanged(), QStringLiteral("ID"));
    }
    if (what.testFlag(Household::Categories) && !m_adoCat->refresh(&error))
        showError(error);
    if (what.testFlag(Household::Catalogue)) {
        // The category chosen stays chosen.
        const std::optional<Criterion> filter = m_adoVendora->recordset()->filter();
        if (!m_adoVendora->refresh(&error))
            return showError(error);
        m_adoVendora->recordset()->setFilter(filter);
        AddToListView();
    }
}

bool frmVendora::storeTyping()
{
    KeptTyping::commitOpenEditors(grdList);
    RecordSet *rs = m_adoList->recordset();
    QString error;
    if (m_adoList->recordset()->isOpen() && !rs->updateBatch(&error)) {
        showError(error);
        return false;
    }
    return true;
}

void frmVendora::showTicks()
{
    QSet<qint64> ticked;
    QHash<qint64, QString> meals; // what each line is for
    QString error;
    if (m_file && ((m_file->hasSharing() && !ShareStore::tickedLines(m_file->connection(), &ticked, &error)) ||
                   (m_file->hasMeals() && !Meals::forTexts(m_file->connection(), &meals, &error))))
        return showError(error);
    m_listModel->setTicked(ticked, QStringLiteral("ID"));
    m_listModel->setNotes(meals, QStringLiteral("ID"), QStringLiteral("Item"));
}

void frmVendora::mnuRemoveTicked_Click()
{
    if (!storeTyping())
        return;
    QSet<qint64> ticked;
    QString error;
    if (!m_file->hasSharing() || !ShareStore::tickedLines(m_file->connection(), &ticked, &error) ||
        ticked.isEmpty())
        return showError(error.isEmpty() ? QStringLiteral("No line is ticked.") : error);
    change(plural(QT_TRANSLATE_N_NOOP("Pantrio", "Remove %n Ticked Line(s)"), int(ticked.size())),
           Household::List,
           [this](QString *e) { return ShareStore::removeTicked(m_file->connection(), nullptr, e); });
}

void frmVendora::rereadList()
{
    // Another's change (a phone's, another window's) never takes what the
    // user is typing in the grid: it is there again after the reload.
    RecordSet *rs = m_adoList->recordset();
    const KeptTyping typing = KeptTyping::take(
        grdList, [rs](int row) { return rs->valueAt(row, QStringLiteral("ID")); });
    QString error;
    const bool ok = m_adoList->refresh(&error);
    typing.restore(grdList, [rs](const QVariant &id) {
        for (int row = 0; row < rs->recordCount(); ++row)
            if (rs->valueAt(row, QStringLiteral("ID")) == id)
                return row;
        return -1;
    });
    showTicks();
    restoreGridWidths();
    showCount();
    if (!ok)
        showError(error);
}

void frmVendora::Form_Load()
{
    m_loadError.clear();
    QString error;
    bool ok = Appearance::CheckSettings(this, Appearance::Window::Main, m_adoSettings, &error);
    ok = ok && m_adoList->refresh(&error);
    if (ok) {
        m_listModel->setRecordSet(m_adoList->recordset());
        restoreGridWidths();
        showCount();
    }
    ok = ok && m_adoCat->refresh(&error);
    if (ok)
        m_catModel->setRecordSet(m_adoCat->recordset());
    ok = ok && m_adoVendora->refresh(&error);
    if (!ok) {
        m_loadError = error.isEmpty() ? QStringLiteral("The data could not be read.") : error;
        return;
    }
    m_adoVendora->recordset()->setFilter(std::nullopt);
    bLoading = true;
    AddToListView();
    bLoading = false;
    adjustSize();
    setFixedSize(sizeHint());
}

void frmVendora::AddToListView()
{
    CatalogueModel *model = lvwItems->catalogue();
    model->clear();
    if (bLoading)
        lvwItems->addColumnsInThirds(
            {QStringLiteral("Item"), QStringLiteral("Category"), QStringLiteral("Aisle")});
    RecordSet *rs = m_adoVendora->recordset();
    if (rs->recordCount() < 1)
        return;
    QVector<int> order;
    const RowStore rows = rs->snapshot(&order);
    model->setRows(rows, std::move(order), rs->fieldIndex(QStringLiteral("Item")),
                   rs->fieldIndex(QStringLiteral("Category")),
                   rs->fieldIndex(QStringLiteral("Aisle")));
    rs->moveFirst();
}

void frmVendora::lstCat_Click()
{
    const QModelIndex current = lstCat->currentIndex();
    if (!current.isValid())
        return;
    const QString name = m_catModel->data(m_catModel->index(current.row(), 0)).toString();
    RecordSet *rs = m_adoVendora->recordset();
    rs->setFilter(std::nullopt);
    rs->setFilter(Criterion{QStringLiteral("Category"), name});
    AddToListView();
}

void frmVendora::cmdAll_Click()
{
    m_adoVendora->recordset()->setFilter(std::nullopt);
    AddToListView();
}

void frmVendora::lvwItems_Click()
{
    lvwItems->catalogue()->setAllBoldToChecked();
}

void frmVendora::cmdSelNone_Click()
{
    lvwItems->catalogue()->clearAllMarks();
}

void frmVendora::cmdQuit_Click()
{
    emit quitRequested();
}

void frmVendora::showCount()
{
    setLiveText(lblCount, QString::number(m_adoList->recordset()->recordCount()));
}

void frmVendora::setGridEnabledByCount()
{
    grdList->setEnabled(m_adoList->recordset()->recordCount() > 0);
}

void frmVendora::cmdAddToList_Click()
{
    if (!storeTyping())
        return;
    CatalogueModel *model = lvwItems->catalogue();
    RecordSet *rs = m_adoList->recordset();
    QVector<int> ticked;
    QVector<ShoppingList::Line> lines;
    for (int i = 0; i < model->count(); ++i) {
        if (model->isChecked(i)) {
            const CatalogueModel::Entry e = model->entry(i);
            ticked << i;
            lines.append({e.text, e.sub1, e.sub2});
        }
    }
    const ShoppingList::AddResult added = ShoppingList::addAsOneStep(*m_file, *rs, lines);
    setGridEnabledByCount();
    // What was added is unticked; what was not stays ticked, to try again.
    if (added.ok())
        cmdSelNone_Click();
    else
        model->clearMarks(ticked.mid(0, added.added));
    // Said to a screen reader on the button that did it, which keeps the focus.
    cmdAddToList->setAccessibleDescription(
        plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n line(s) added; %1 on the list."), added.added)
            .arg(plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n line(s)"), rs->recordCount())));
    if (!added.ok())
        showError(added.error);
}

void frmVendora::cmdRef_Click()
{
    if (!storeTyping())
        return;
    // A window whose reading failed (a passing fault) reads everything again.
    if (!m_loadError.isEmpty()) {
        Form_Load();
        if (!m_loadError.isEmpty())
            return showError(m_loadError);
    }
    setGridEnabledByCount();
    QString error;
    if (!m_adoList->refresh(&error))
        showError(error);
    grdList->clearSelection();
    showCount();
    setGridEnabledByCount();
    restoreGridWidths();
}

void frmVendora::cmdClearAll_Click()
{
    if (!storeTyping())
        return;
    if (m_adoList->recordset()->recordCount() == 0)
        return;
    if (!Dialogs::askYesNo(
            this, QStringLiteral("Are you sure you want to delete all items on your list?")))
        return;
    change(QStringLiteral("Delete All"), Household::List,
           [this](QString *e) {
               // The lines ticked among them were bought.
               return Meals::recordTickedAsBought(m_file->connection(), QDate::currentDate(), e) &&
                      m_de->ClearList(e);
           });
}

void frmVendora::grdList_AfterColEdit(int)
{
    RecordSet *rs = m_adoList->recordset();
    const int row = m_editedRow;
    if (row < 0 || !rs->isPendingAt(row))
        return;
    QString error;
    if (!rs->updateAt(row, &error)) {
        // Nothing half-stored: the cell goes back to what the database holds.
        rs->moveTo(row);
        rs->cancelUpdate();
        showError(error);
    }
}

void frmVendora::deleteGridRows()
{
    QList<int> rows;
    const QModelIndexList selected = grdList->selectionModel()->selectedIndexes();
    for (const QModelIndex &i : selected)
        rows << i.row();
    if (rows.isEmpty() && grdList->currentIndex().isValid())
        rows << grdList->currentIndex().row();
    if (rows.isEmpty())
        return;
    QString error;
    if (!m_adoList->recordset()->deleteRows(rows, &error)) {
        showError(error);
        return;
    }
    grdList_AfterDelete();
}

void frmVendora::grdList_AfterDelete()
{
    showCount();
    setGridEnabledByCount();
}

void frmVendora::keyPressEvent(QKeyEvent *event)
{
    // F1 reaches the window from any control that does not use it itself.
    if (event->key() == Qt::Key_F1) {
        showHelpForFocus();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool frmVendora::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grdList && event->type() == QEvent::FontChange)
        fitGridRowsToFont();
    if (watched == grdList && event->type() == QEvent::KeyPress && !m_readOnly &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        deleteGridRows();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmVendora::fillRecentList(const QVariant &highestID)
{
    lstRecent->addItems(ShoppingList::addedSince(*m_adoVendora->recordset(), highestID.toLongLong()));
    m_adoVendora->recordset()->moveFirst();
}

void frmVendora::cmdDelCat_Click()
{
    const QModelIndex current = lstCat->currentIndex();
    if (!current.isValid())
        return;
    const QString name = m_catModel->data(m_catModel->index(current.row(), 0)).toString();
    if (name.isEmpty())
        return;
    if (!Dialogs::askYesNo(this, QStringLiteral("Are you sure you want to delete ") + name +
                                     QStringLiteral("?")))
        return;
    RecordSet *rs = m_adoCat->recordset();
    rs->moveFirst();
    if (!rs->find(Criterion{QStringLiteral("Categories"), name})) {
        showError(QStringLiteral("The category ") + name +
                  QStringLiteral(" is no longer in the list; nothing was deleted."));
        return;
    }
    QString error;
    if (!rs->deleteCurrent(&error))
        showError(QStringLiteral("The category ") + name +
                  QStringLiteral(" could not be deleted: ") + error);
}

void frmVendora::mnuAdd_Click()
{
    // The window is unloaded while the editor is open.
    if (!storeTyping())
        return;
    const CatalogueModel *model = lvwItems->catalogue();
    for (int i = 0; i < model->count(); ++i) {
        if (model->isChecked(i)) {
            if (!Dialogs::askOkCancel(this, QStringLiteral("You have items checked.  Click Cancel "
                                                           "to return and add them before exiting "
                                                           "this screen.")))
                return;
            break;
        }
    }
    emit editorRequested();
}

} // namespace pantrio
