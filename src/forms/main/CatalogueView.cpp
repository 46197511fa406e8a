#include "forms/main/CatalogueView.h"

#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace pantrio
{

void CatalogueModel::addColumn(const QString &title)
{
    beginInsertColumns({}, int(m_headers.size()), int(m_headers.size()));
    m_headers << title;
    endInsertColumns();
}

void CatalogueModel::setEntries(QVector<Entry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

void CatalogueModel::setChecked(int i, bool on)
{
    if (i < 0 || i >= m_entries.size() || m_entries[i].checked == on)
        return;
    m_entries[i].checked = on;
    emit dataChanged(index(i, 0), index(i, 0), {Qt::CheckStateRole});
}

void CatalogueModel::setBold(int i, bool on)
{
    if (i < 0 || i >= m_entries.size() || m_entries[i].bold == on)
        return;
    m_entries[i].bold = on;
    emit dataChanged(index(i, 0), index(i, columnCount() - 1), {Qt::FontRole});
}

// Only the span of entries that changed is repainted: with a large catalogue a
// change notice for every row costs more than the change itself.
template <typename Fn> void CatalogueModel::changeAll(Fn change)
{
    int first = -1, last = -1;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (change(m_entries[i])) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
}

void CatalogueModel::setAllBoldToChecked()
{
    changeAll([](Entry &e) {
        const bool changed = e.bold != e.checked;
        e.bold = e.checked;
        return changed;
    });
}

void CatalogueModel::clearAllMarks()
{
    changeAll([](Entry &e) {
        const bool changed = e.checked || e.bold;
        e.checked = e.bold = false;
        return changed;
    });
}

void CatalogueModel::clearMarks(const QVector<int> &rows)
{
    for (int i : rows) {
        if (i < 0 || i >= m_entries.size())
            continue;
        m_entries[i].checked = m_entries[i].bold = false;
        emit dataChanged(index(i, 0), index(i, columnCount() - 1));
    }
}

int CatalogueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int CatalogueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(1, int(m_headers.size()));
}

QVariant CatalogueModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const Entry &e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return index.column() == 0 ? e.text : index.column() == 1 ? e.sub1 : e.sub2;
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return e.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::FontRole:
        if (e.bold) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    default:
        return {};
    }
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headers.value(section);
    return {};
}

Qt::ItemFlags CatalogueModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool CatalogueModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != 0)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

CatalogueView::CatalogueView(QWidget *parent) : QTreeView(parent), m_model(new CatalogueModel(this))
{
    setModel(m_model);
    setRootIsDecorated(false);
    setUniformRowHeights(true); // keeps 100,000 entries fast to lay out
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
}

void CatalogueView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    emit anyClick();
}

void CatalogueView::keyPressEvent(QKeyEvent *event)
{
    // Space ticks the current entry whichever column has the focus; as with a
    // tick box, bold follows at the next click.
    if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) &&
        event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
        const int row = currentIndex().row();
        m_model->setChecked(row, !m_model->entry(row).checked);
        return;
    }
    QTreeView::keyPressEvent(event);
}

} // namespace pantrio
