#include "data/sharing/ShareMerge.h"

namespace pantrio::Share
{

bool Merge::apply(const Op &op)
{
    const Tag tag = op.tag();
    if (m_applied.contains(tag))
        return false;
    m_applied.insert(tag);
    switch (op.kind) {
    case Op::Kind::Tick:
        m_ticks[op.line].insert(tag);
        break;
    case Op::Kind::Untick:
        for (const Tag &t : op.observed)
            m_taken[op.line].insert(t);
        break;
    case Op::Kind::Add:
        m_added.insert(tag, op);
        break;
    }
    return true;
}

QVector<Tag> Merge::liveTicks(qint64 line) const
{
    QVector<Tag> live;
    const QSet<Tag> taken = m_taken.value(line);
    for (const Tag &t : m_ticks.value(line))
        if (!taken.contains(t))
            live.append(t);
    return live;
}

bool Merge::ticked(qint64 line) const
{
    return !liveTicks(line).isEmpty();
}

} // namespace pantrio::Share
