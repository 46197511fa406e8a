#include "data/shopping/AisleOrder.h"

#include "data/text/NaturalOrder.h"

#include <algorithm>

namespace pantrio
{

AisleOrder::AisleOrder(const QVector<OrderedAisle> &entries)
{
    for (const OrderedAisle &e : entries)
        m_entries.insert(e.aisle, e);
}

bool AisleOrder::excluded(const QString &aisle) const
{
    const auto it = m_entries.constFind(aisle);
    return it != m_entries.constEnd() && it->excluded;
}

// 0 ordered, 1 never ordered, 2 blank, 3 not in this store.
int AisleOrder::tier(const QString &aisle) const
{
    if (aisle.trimmed().isEmpty())
        return 2;
    const auto it = m_entries.constFind(aisle);
    if (it == m_entries.constEnd())
        return 1;
    return it->excluded ? 3 : 0;
}

int AisleOrder::compare(const QString &a, const QString &b) const
{
    const int ta = tier(a), tb = tier(b);
    if (ta != tb)
        return ta < tb ? -1 : 1;
    if (ta == 0 || ta == 3) {
        const int pa = m_entries.value(a).position, pb = m_entries.value(b).position;
        if (pa != pb)
            return pa < pb ? -1 : 1;
    }
    if (const int c = naturalCompare(a, b))
        return c;
    return a.compare(b);
}

QStringList AisleOrder::sorted(QStringList aisles) const
{
    std::stable_sort(aisles.begin(), aisles.end(),
                     [this](const QString &a, const QString &b) { return compare(a, b) < 0; });
    return aisles;
}

} // namespace pantrio
