#include "forms/main/CatalogueView.h"

#include <QStyle>

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

void CatalogueModel::setRows(const RowStore &rows, QVector<int> order, int text, int sub1,
                             int sub2)
{
    beginResetModel();
    m_rows = rows;
    m_order = std::move(order);
    m_fields[0] = text;
    m_fields[1] = sub1;
    m_fields[2] = sub2;
    m_marks = QVector<quint8>(m_order.size(), 0);
    endResetModel();
}

void CatalogueModel::clear()
{
    setRows(RowStore(), {}, -1, -1, -1);
}

QString CatalogueModel::textAt(int i, int column) const
{
    const int field = column >= 0 && column < 3 ? m_fields[column] : -1;
    if (field < 0)
        return {};
    const QVariant v = m_rows.value(m_order.at(i), field);
    if (column == 0 && v.isNull())
        return QStringLiteral("-");
    return v.toString();
}

CatalogueModel::Entry CatalogueModel::entry(int i) const
{
    Entry e;
    e.text = textAt(i, 0);
    e.sub1 = textAt(i, 1);
    e.sub2 = textAt(i, 2);
    e.checked = m_marks.at(i) & Checked;
    e.bold = m_marks.at(i) & Bold;
    return e;
}

void CatalogueModel::setChecked(int i, bool on)
{
    if (i < 0 || i >= m_marks.size() || bool(m_marks.at(i) & Checked) == on)
        return;
    m_marks[i] ^= Checked;
    emit dataChanged(index(i, 0), index(i, 0), {Qt::CheckStateRole});
}

void CatalogueModel::setBold(int i, bool on)
{
    if (i < 0 || i >= m_marks.size() || bool(m_marks.at(i) & Bold) == on)
        return;
    m_marks[i] ^= Bold;
    emit dataChanged(index(i, 0), index(i, columnCount() - 1), {Qt::FontRole});
}

// Only the span of entries that changed is repainted: with a large catalogue a
// change notice for every row costs more than the change itself.
template <typename Fn> void CatalogueModel::changeAll(Fn change)
{
    int first = -1, last = -1;
    for (int i = 0; i < m_marks.size(); ++i) {
        const quint8 was = m_marks.at(i);
        const quint8 now = change(was);
        if (now != was) {
            m_marks[i] = now;
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
    changeAll([](quint8 m) { return quint8((m & Checked) ? Checked | Bold : 0); });
}

void CatalogueModel::clearAllMarks()
{
    changeAll([](quint8) { return quint8(0); });
}

void CatalogueModel::clearMarks(const QVector<int> &rows)
{
    for (int i : rows) {
        if (i < 0 || i >= m_marks.size())
            continue;
        m_marks[i] = 0;
        emit dataChanged(index(i, 0), index(i, columnCount() - 1));
    }
}

int CatalogueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int CatalogueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(1, int(m_headers.size()));
}

QVariant CatalogueModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_order.size())
        return {};
    const quint8 marks = m_marks.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return textAt(index.row(), index.column());
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return (marks & Checked) ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::FontRole:
        if (marks & Bold) {
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
        m_model->setChecked(row, !m_model->isChecked(row));
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CatalogueView::addColumnsInThirds(const QStringList &titles)
{
    const int room = width() - 2 * frameWidth() - style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (const QString &title : titles) {
        m_model->addColumn(title);
        setColumnWidth(m_model->columnHeaderCount() - 1, room / 3);
    }
}

} // namespace pantrio
