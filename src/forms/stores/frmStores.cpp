#include "forms/stores/frmStores.h"

#include "data/owner/Household.h"
#include "data/models/StoreAisleModel.h"
#include "data/shopping/Stores.h"
#include "uibase/Dialogs.h"
#include "uibase/HelpViewer.h"
#include "uibase/UndoCommands.h"

#include <QScopedValueRollback>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

namespace pantrio
{

namespace
{
constexpr int kStoreId = Qt::UserRole;
} // namespace

frmStores::frmStores() : m_model(new StoreAisleModel(nullptr, this))
{
    setObjectName(QStringLiteral("frmStores"));
    setWindowTitle(QStringLiteral("Stores"));
    setAccessibleName(QStringLiteral("Stores"));
    buildControls();
    connect(m_model, &StoreAisleModel::editRequested, this,
            [this](qlonglong item, const QString &, const QString &to) {
                change(QStringLiteral("Aisle Edit"),
                       [&](QString *e) { return m_model->setAisle(item, to, e); }, m_model);
            });
}

frmStores::~frmStores() = default;

bool frmStores::load(Household &file)
{
    if (!file.hasStores()) {
        m_loadError = QStringLiteral("This file has no stores, and Pantrio can only read it. ") +
                      file.readOnlyReason();
        return false;
    }
    m_file = &file;
    m_model->setConnection(&file.connection());
    connect(m_file, &Household::changed, this, &frmStores::fileChanged);
    connect(&m_file->history(), &UndoHistory::changed, this, &frmStores::showHistory);
    const QString why = UndoCommands::unavailableReason(file);
    if (file.isReadOnly()) {
        // Shown and printed, never changed: each control that would write says why.
        for (QWidget *w : std::initializer_list<QWidget *>{cmdAddStore, cmdRenameStore,
                                                           cmdDeleteStore, chkCurrent, cmdMoveUp,
                                                           cmdMoveDown}) {
            w->setToolTip(why);
            w->setAccessibleDescription(why);
        }
        grdAisles->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grdAisles->setAccessibleDescription(why);
        lstOrder->setDragDropMode(QAbstractItemView::NoDragDrop);
        lstOrder->setAccessibleDescription(why);
    }
    reloadStores(-1);
    showHistory();
    return true;
}

bool frmStores::change(const QString &text, const std::function<bool(QString *)> &write,
                       const QObject *origin)
{
    QString error;
    if (m_file->change(text, Household::StoresAndAisles, write, &error, origin))
        return true;
    showError(error);
    return false;
}

// Every change of the stores, the catalogue or the whole file, whoever made
// it, is shown at once; a change the grid made itself is in it already, and
// only the walking order follows it.
void frmStores::fileChanged(Household::Changes what, const QObject *origin)
{
    if (!(what & (Household::StoresAndAisles | Household::Catalogue | Household::Categories |
                  Household::Replaced)))
        return;
    // Whatever fails from here is reading back a change that was stored.
    const QScopedValueRollback readingBack(m_readingBack, true);
    if (origin == m_model && what == Household::StoresAndAisles) {
        showOrder();
        return;
    }
    reloadStores(selectedStore());
}

void frmStores::showHistory()
{
    UndoCommands::showOnButtons(*m_file, cmdUndo, cmdRedo);
}

void frmStores::cmdUndo_Click()
{
    if (m_file->history().canUndo())
        UndoCommands::undo(this, *m_file);
}

void frmStores::cmdRedo_Click()
{
    if (m_file->history().canRedo())
        UndoCommands::redo(this, *m_file);
}

bool frmStores::showError(const QString &error)
{
    Dialogs::notifyError(this, error, m_readingBack);
    return false;
}

qlonglong frmStores::selectedStore() const
{
    const QListWidgetItem *item = lstStores->currentItem();
    return item ? item->data(kStoreId).toLongLong() : -1;
}

void frmStores::reloadStores(qlonglong select)
{
    QVector<Stores::Store> stores;
    QString error;
    if (!Stores::list(m_file->connection(), &stores, &error))
        showError(error);
    {
        const QSignalBlocker block(lstStores);
        lstStores->clear();
        int row = stores.isEmpty() ? -1 : 0;
        for (const Stores::Store &s : std::as_const(stores)) {
            auto *item = new QListWidgetItem(s.name, lstStores);
            item->setData(kStoreId, s.id);
            if (s.current) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
                item->setData(Qt::AccessibleTextRole,
                              s.name + QStringLiteral(", printed by aisle"));
            }
            if (s.id == select)
                row = lstStores->count() - 1;
        }
        lstStores->setCurrentRow(row);
    }
    showStore();
}

void frmStores::lstStores_Changed()
{
    if (!m_showing)
        showStore();
}

void frmStores::showStore()
{
    const qlonglong store = selectedStore();
    const bool any = store >= 0;
    for (QWidget *w : std::initializer_list<QWidget *>{cmdRenameStore, cmdDeleteStore, chkCurrent,
                                                       lstOrder, cmdMoveUp, cmdMoveDown,
                                                       cboCategory, txtFilter, grdAisles})
        w->setEnabled(any);
    const QString name = any ? lstStores->currentItem()->text() : QString();
    chkCurrent->setChecked(any && lstStores->currentItem()->font().bold());
    QString error;
    if (!m_model->load(any ? store : -1, name, &error))
        showError(error);
    {
        const QSignalBlocker block(cboCategory);
        const QString was = cboCategory->currentText();
        cboCategory->clear();
        cboCategory->addItem(QStringLiteral("All categories"));
        cboCategory->addItems(m_model->categories());
        cboCategory->setCurrentIndex(std::max(0, cboCategory->findText(was)));
    }
    filterItems();
    showOrder();
}

void frmStores::showOrder()
{
    const qlonglong store = selectedStore();
    QStringList aisles;
    AisleOrder order;
    QString error;
    if (store >= 0 && !Stores::aislesInUse(m_file->connection(), store, &aisles, &error, &order))
        showError(error);
    m_shownAisles = aisles;
    m_shownExcluded.clear();
    for (const QString &a : std::as_const(aisles))
        if (order.excluded(a))
            m_shownExcluded << a;
    m_showing = true;
    const QSignalBlocker block(lstOrder);
    const int row = lstOrder->currentRow();
    lstOrder->clear();
    for (const QString &a : std::as_const(aisles)) {
        auto *item = new QListWidgetItem(a, lstOrder);
        item->setFlags((item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled) &
                       ~Qt::ItemIsDropEnabled);
        item->setCheckState(order.excluded(a) ? Qt::Unchecked : Qt::Checked);
    }
    lstOrder->setCurrentRow(std::min(row, lstOrder->count() - 1));
    m_showing = false;
}

bool frmStores::writeOrder(const QStringList &aisles, const QStringList &excluded, QString *error)
{
    QVector<OrderedAisle> entries;
    for (int i = 0; i < aisles.size(); ++i)
        entries.append({aisles.at(i), i, excluded.contains(aisles.at(i))});
    const qlonglong store = selectedStore();
    return m_file->change(
        QStringLiteral("Walking Order Change"), Household::StoresAndAisles,
        [&](QString *e) { return Stores::setWalkingOrder(m_file->connection(), store, entries, e); },
        error);
}

// The list as the user left it becomes the store's order; the order before
// it is kept for undo.
void frmStores::orderEdited()
{
    if (m_showing)
        return;
    QStringList aisles, excluded;
    for (int i = 0; i < lstOrder->count(); ++i) {
        aisles << lstOrder->item(i)->text();
        if (lstOrder->item(i)->checkState() == Qt::Unchecked)
            excluded << aisles.last();
    }
    if (m_shownAisles == aisles && m_shownExcluded == excluded)
        return;
    QString error;
    if (!writeOrder(aisles, excluded, &error)) {
        showError(error);
        showOrder(); // back to what the file holds
    }
}

void frmStores::moveAisle(int step)
{
    const int row = lstOrder->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= lstOrder->count())
        return;
    m_showing = true;
    QListWidgetItem *item = lstOrder->takeItem(row);
    lstOrder->insertItem(to, item);
    lstOrder->setCurrentRow(to);
    m_showing = false;
    orderEdited();
    lstOrder->setCurrentRow(to);
}

void frmStores::keyPressEvent(QKeyEvent *event)
{
    if (!HelpViewer::windowKey(this, event, 50, false))
        QMainWindow::keyPressEvent(event);
}

bool frmStores::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstOrder && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            moveAisle(key->key() == Qt::Key_Up ? -1 : +1);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmStores::filterItems()
{
    m_model->setFilter(cboCategory->currentIndex() > 0 ? cboCategory->currentText() : QString(),
                       txtFilter->text());
}

void frmStores::cmdAddStore_Click()
{
    const QPointer<frmStores> self(this);
    const std::optional<QString> name = Dialogs::instance().askText(
        this, QStringLiteral("Add Store"), QStringLiteral("Name of the store:"), QString());
    if (!self || !name)
        return;
    qlonglong id = -1;
    QString error;
    const QString trimmed = name->trimmed();
    if (!change(QStringLiteral("Add Store"),
                [&](QString *e) { return Stores::add(m_file->connection(), trimmed, &id, e); }))
        return;
    const QScopedValueRollback readingBack(m_readingBack, true);
    reloadStores(id);
}

void frmStores::cmdRenameStore_Click()
{
    const qlonglong store = selectedStore();
    if (store < 0)
        return;
    const QPointer<frmStores> self(this);
    const std::optional<QString> name = Dialogs::instance().askText(
        this, QStringLiteral("Rename Store"), QStringLiteral("New name of the store:"),
        lstStores->currentItem()->text());
    if (!self || !name)
        return;
    const QString trimmed = name->trimmed();
    change(QStringLiteral("Rename Store"), [&](QString *e) {
        return Stores::rename(m_file->connection(), store, trimmed, e);
    });
}

void frmStores::cmdDeleteStore_Click()
{
    const qlonglong store = selectedStore();
    if (store < 0)
        return;
    const QPointer<frmStores> self(this);
    if (!Dialogs::askYesNo(this, QStringLiteral("Delete the store %1, with its aisles and "
                                                "walking order?")
                                     .arg(lstStores->currentItem()->text())) ||
        !self)
        return;
    change(QStringLiteral("Delete Store"),
           [&](QString *e) { return Stores::remove(m_file->connection(), store, e); });
}

void frmStores::chkCurrent_Toggled(bool checked)
{
    const qlonglong store = selectedStore();
    if (!change(QStringLiteral("Current Store Change"), [&](QString *e) {
            return Stores::setCurrent(m_file->connection(),
                                      checked ? std::optional<qlonglong>(store) : std::nullopt, e);
        }))
        reloadStores(store); // the box goes back to what the file holds
}

} // namespace pantrio
