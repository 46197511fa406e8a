#include "data/models/ColumnModel.h"

namespace pantrio
{

void ColumnModel::setRows(const RowStore &rows, int column)
{
    beginResetModel();
    m_rows = rows; // shared with the caller's copy, not copied
    m_column = column;
    endResetModel();
}

int ColumnModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.rowCount();
}

QVariant ColumnModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.rowCount() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_rows.value(index.row(), m_column).toString();
}

} // namespace pantrio
