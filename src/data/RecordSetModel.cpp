#include "RecordSetModel.h"

#include "RecordSet.h"

namespace pantrio
{

RecordSetModel::RecordSetModel(QObject *parent) : QAbstractTableModel(parent) {}

void RecordSetModel::setRecordSet(RecordSet *recordset)
{
    beginResetModel();
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_rs = recordset;
    if (m_rs) {
        m_links << connect(m_rs, &RecordSet::aboutToReset, this, [this] { beginResetModel(); });
        m_links << connect(m_rs, &RecordSet::reset, this, [this] { endResetModel(); });
        // Row insertions and removals are rare and small; a reset keeps it simple
        // and is cheap because the view asks only for visible rows.
        m_links << connect(m_rs, &RecordSet::rowInserted, this, [this] {
            beginResetModel();
            endResetModel();
        });
        m_links << connect(m_rs, &RecordSet::rowsRemoved, this, [this] {
            beginResetModel();
            endResetModel();
        });
        m_links << connect(m_rs, &RecordSet::rowChanged, this, [this](int row) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
        m_links << connect(m_rs, &RecordSet::valueChanged, this, [this](int row, int field) {
            emit dataChanged(index(row, field), index(row, field));
        });
    }
    endResetModel();
}

int RecordSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_rs ? 0 : m_rs->recordCount();
}

int RecordSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_rs ? 0 : m_rs->fieldCount();
}

QVariant RecordSetModel::data(const QModelIndex &index, int role) const
{
    if (!m_rs || !index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const QVariant v = m_rs->valueAt(index.row(), index.column());
        return v.isNull() ? QVariant(QString()) : v;
    }
    return {};
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_rs || role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_rs->fieldNames().value(section);
    return section + 1;
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_rs && index.isValid() && !m_readOnly.contains(m_rs->fieldNames().value(index.column())))
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_rs || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    if (m_rs->valueAt(index.row(), index.column()).toString() == value.toString() &&
        !m_rs->valueAt(index.row(), index.column()).isNull())
        return true;
    if (!m_rs->setValueAt(index.row(), index.column(), value))
        return false;
    emit cellEdited(index.row(), index.column());
    return true;
}

} // namespace pantrio
