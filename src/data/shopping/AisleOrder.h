#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace pantrio
{

// One aisle's place in a store's walking order, as the user set it.
struct OrderedAisle {
    QString aisle;
    int position = 0;
    bool excluded = false; // "not in this store"
};

// The order in which a shopper walks a store's aisles: the aisles the user
// ordered by their position, then those never ordered in natural order ("2"
// before "10"), the blank aisle after them, and last the aisles the store does
// not have. With no order at all it is the natural order, blank last, as the
// list has always been printed. Entries for aisles no longer in use are kept
// and simply never asked about.
class AisleOrder
{
  public:
    AisleOrder() = default;
    explicit AisleOrder(const QVector<OrderedAisle> &entries);

    bool isEmpty() const { return m_entries.isEmpty(); }
    // Negative, zero or positive as a walks before, with, or after b.
    int compare(const QString &a, const QString &b) const;
    bool excluded(const QString &aisle) const;
    // The aisles, sorted as the store is walked.
    QStringList sorted(QStringList aisles) const;

  private:
    int tier(const QString &aisle) const;

    QHash<QString, OrderedAisle> m_entries;
};

} // namespace pantrio
