#include "forms/stores/frmStores.h"

#include "data/Connection.h"
#include "data/StoreAisleModel.h"
#include "data/Stores.h"
#include "uibase/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QUndoStack>

namespace pantrio
{

namespace
{
constexpr int kStoreId = Qt::UserRole;

// An item's aisle in the store, as typed in the grid; undone by writing back
// the aisle it had.
class AisleEdit : public QUndoCommand
{
  public:
    AisleEdit(StoreAisleModel *model, QWidget *window, qlonglong item, QString from, QString to)
        : m_model(model), m_window(window), m_item(item), m_from(std::move(from)),
          m_to(std::move(to))
    {
        setText(QStringLiteral("aisle of an item"));
    }
    void redo() override { write(m_to); }
    void undo() override { write(m_from); }

  private:
    void write(const QString &aisle)
    {
        QString error;
        if (!m_model->setAisle(m_item, aisle, &error)) {
            Dialogs::notify(m_window, error);
            setObsolete(true);
        }
    }
    StoreAisleModel *m_model;
    QWidget *m_window;
    qlonglong m_item;
    QString m_from, m_to;
};
} // namespace

// A change of the walking order: the aisles as listed, and which the store
// does not have, before and after.
class OrderChange : public QUndoCommand
{
  public:
    OrderChange(frmStores *window, QStringList fromAisles, QStringList fromExcluded,
                QStringList toAisles, QStringList toExcluded)
        : m_window(window), m_from(std::move(fromAisles)), m_fromExcluded(std::move(fromExcluded)),
          m_to(std::move(toAisles)), m_toExcluded(std::move(toExcluded))
    {
        setText(QStringLiteral("walking order"));
    }
    void redo() override { write(m_to, m_toExcluded); }
    void undo() override { write(m_from, m_fromExcluded); }

  private:
    void write(const QStringList &aisles, const QStringList &excluded)
    {
        QString error;
        if (!m_window->writeOrder(aisles, excluded, &error)) {
            m_window->showError(error);
            setObsolete(true);
        }
        m_window->showOrder();
    }
    frmStores *m_window;
    QStringList m_from, m_fromExcluded, m_to, m_toExcluded;
};

frmStores::frmStores()
    : m_connection(std::make_unique<Connection>()),
      m_model(new StoreAisleModel(m_connection.get(), this)), m_undo(new QUndoStack(this))
{
    setObjectName(QStringLiteral("frmStores"));
    setWindowTitle(QStringLiteral("Stores"));
    setAccessibleName(QStringLiteral("Stores"));
    buildControls();
    connect(m_model, &StoreAisleModel::editRequested, this,
            [this](qlonglong item, const QString &from, const QString &to) {
                m_undo->push(new AisleEdit(m_model, this, item, from, to));
            });
}

frmStores::~frmStores()
{
    // The model's statements go before the connection they run on.
    delete m_model;
}

bool frmStores::load(const QString &databasePath)
{
    if (!m_connection->open(databasePath, &m_loadError))
        return false;
    reloadStores(-1);
    return true;
}

bool frmStores::showError(const QString &error)
{
    Dialogs::notify(this, error);
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
    if (!Stores::list(*m_connection, &stores, &error))
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
    if (store >= 0 && !Stores::aislesInUse(*m_connection, store, &aisles, &error, &order))
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
    const bool ok = Stores::setWalkingOrder(*m_connection, selectedStore(), entries, error);
    if (!ok && !Stores::exists(*m_connection, selectedStore()))
        reloadStores(-1); // deleted meanwhile: show what there is
    return ok;
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
    m_undo->push(new OrderChange(this, m_shownAisles, m_shownExcluded, aisles, excluded));
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
    if (!Stores::add(*m_connection, *name, &id, &error))
        return void(showError(error));
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
    QString error;
    if (!Stores::rename(*m_connection, store, *name, &error))
        showError(error);
    reloadStores(store);
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
    QString error;
    if (!Stores::remove(*m_connection, store, &error))
        showError(error);
    // What undo would write back belonged to the store.
    m_undo->clear();
    reloadStores(-1);
}

void frmStores::chkCurrent_Toggled(bool checked)
{
    const qlonglong store = selectedStore();
    QString error;
    if (!Stores::setCurrent(*m_connection, checked ? std::optional<qlonglong>(store) : std::nullopt,
                            &error))
        showError(error);
    reloadStores(store);
}

} // namespace pantrio
