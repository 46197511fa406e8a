#include "data/models/StoreAisleModel.h"

#include <QStringMatcher>

#include "data/text/NaturalOrder.h"

#include <QSet>

#include <algorithm>

namespace pantrio
{

StoreAisleModel::StoreAisleModel(Connection *connection, QObject *parent)
    : QAbstractTableModel(parent), m_connection(connection)
{
}

bool StoreAisleModel::load(qlonglong store, const QString &storeName, QString *error)
{
    QVector<Stores::ItemAisle> items;
    if (!Stores::itemAisles(*m_connection, store, &items, error))
        return false;
    beginResetModel();
    m_store = store;
    m_storeName = storeName;
    m_items = std::move(items);
    m_byId.clear();
    for (int i = 0; i < m_items.size(); ++i)
        m_byId.insert(m_items.at(i).itemId, i);
    refilter();
    endResetModel();
    return true;
}

void StoreAisleModel::setFilter(const QString &category, const QString &text)
{
    beginResetModel();
    m_category = category;
    m_text = text;
    refilter();
    endResetModel();
}

void StoreAisleModel::refilter()
{
    m_visible.clear();
    m_visible.reserve(m_items.size());
    // The text's skip table is made once for the 100,000 names it is sought in.
    const QStringMatcher matcher(m_text, Qt::CaseInsensitive);
    for (int i = 0; i < m_items.size(); ++i) {
        const Stores::ItemAisle &it = m_items.at(i);
        if (!m_category.isEmpty() && it.category != m_category)
            continue;
        if (!m_text.isEmpty() && matcher.indexIn(it.item) < 0)
            continue;
        m_visible.append(i);
    }
}

QStringList StoreAisleModel::categories() const
{
    QSet<QString> seen;
    QStringList out;
    for (const Stores::ItemAisle &it : m_items) {
        if (!it.category.isEmpty() && !seen.contains(it.category)) {
            seen.insert(it.category);
            out << it.category;
        }
    }
    std::sort(out.begin(), out.end(),
              [](const QString &a, const QString &b) { return naturalCompare(a, b) < 0; });
    return out;
}

bool StoreAisleModel::setAisle(qlonglong itemId, const QString &aisle, QString *error)
{
    if (!Stores::setItemAisle(*m_connection, m_store, itemId, aisle, error))
        return false;
    const int i = m_byId.value(itemId, -1);
    if (i < 0)
        return true;
    m_items[i].storeAisle = aisle.isEmpty() ? QVariant() : QVariant(aisle);
    const int row = int(m_visible.indexOf(i));
    if (row >= 0)
        emit dataChanged(index(row, StoreAisleColumn), index(row, StoreAisleColumn));
    return true;
}

int StoreAisleModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_visible.size());
}

int StoreAisleModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant StoreAisleModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_visible.size())
        return {};
    const Stores::ItemAisle &it = m_items.at(m_visible.at(index.row()));
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::EditRole) {
        switch (index.column()) {
        case ItemColumn:
            return it.item.isEmpty() && role != Qt::EditRole ? QStringLiteral("-") : it.item;
        case CategoryColumn:
            return it.category;
        case CatalogueAisleColumn:
            return it.catalogueAisle;
        default:
            return it.storeAisle.toString();
        }
    }
    // Where the store has no aisle of its own, the catalogue's is used: shown
    // greyed in the cell, and said to a screen reader.
    if (index.column() == StoreAisleColumn && it.storeAisle.isNull()) {
        if (role == Qt::ToolTipRole)
            return QStringLiteral("Uses the catalogue's aisle");
    }
    return {};
}

QVariant StoreAisleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ItemColumn:
        return QStringLiteral("Item");
    case CategoryColumn:
        return QStringLiteral("Category");
    case CatalogueAisleColumn:
        return QStringLiteral("Catalogue aisle");
    default:
        return QStringLiteral("Aisle in %1").arg(m_storeName);
    }
}

Qt::ItemFlags StoreAisleModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == StoreAisleColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool StoreAisleModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || index.column() != StoreAisleColumn || !index.isValid() ||
        index.row() >= m_visible.size())
        return false;
    const Stores::ItemAisle &it = m_items.at(m_visible.at(index.row()));
    const QString to = value.toString();
    if (to == it.storeAisle.toString())
        return true;
    emit editRequested(it.itemId, it.storeAisle.toString(), to);
    return true;
}

} // namespace pantrio
