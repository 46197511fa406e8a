#pragma once

#include "data/shopping/Stores.h"

#include <QAbstractTableModel>

namespace pantrio
{

class Connection;

// The catalogue as one store sees it, for a grid: Item, Category, the
// catalogue's Aisle and the aisle in the store, which is edited in place.
// Filtered by category and by text in memory, so 100,000 items filter at
// once. An edit is not written here: editRequested() hands it to the owner
// (which keeps it for undo) and setAisle() writes it.
class StoreAisleModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    enum Column { ItemColumn, CategoryColumn, CatalogueAisleColumn, StoreAisleColumn };

    explicit StoreAisleModel(Connection *connection, QObject *parent = nullptr);

    void setConnection(Connection *connection) { m_connection = connection; }
    bool load(qlonglong store, const QString &storeName, QString *error);
    qlonglong store() const { return m_store; }
    // An empty category shows every category; text matches item names,
    // whatever their case.
    void setFilter(const QString &category, const QString &text);
    QStringList categories() const;

    bool setAisle(qlonglong itemId, const QString &aisle, QString *error);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

  signals:
    void editRequested(qlonglong itemId, const QString &from, const QString &to);

  private:
    void refilter();

    Connection *m_connection;
    qlonglong m_store = 0;
    QString m_storeName;
    QVector<Stores::ItemAisle> m_items;
    QHash<qlonglong, int> m_byId;
    QVector<int> m_visible;
    QString m_category;
    QString m_text;
};

} // namespace pantrio
