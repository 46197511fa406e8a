#pragma once

#include "data/access/RowStore.h"

#include <QAbstractListModel>

namespace pantrio
{

// One column of packed rows as a list, for a completer: each text is made
// only when it is asked for, so a hundred thousand names cost no more than
// the rows already held.
class ColumnModel : public QAbstractListModel
{
    Q_OBJECT
  public:
    explicit ColumnModel(QObject *parent = nullptr) : QAbstractListModel(parent) {}

    void setRows(const RowStore &rows, int column);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

  private:
    RowStore m_rows;
    int m_column = 0;
};

} // namespace pantrio
