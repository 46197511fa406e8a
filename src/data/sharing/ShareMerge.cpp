#include "data/sharing/ShareMerge.h"

#include <QCryptographicHash>

#include <algorithm>

namespace pantrio::Share
{

Op Op::tick(const QString &source, qint64 seq, qint64 line)
{
    Op op;
    op.source = source;
    op.seq = seq;
    op.line = line;
    return op;
}

Op Op::untick(const QString &source, qint64 seq, qint64 line, QVector<Tag> observed)
{
    Op op = tick(source, seq, line);
    op.kind = Kind::Untick;
    op.observed = std::move(observed);
    return op;
}

Op Op::add(const QString &source, qint64 seq, const QString &item, const QString &quantity)
{
    Op op = tick(source, seq, 0);
    op.kind = Kind::Add;
    op.item = item;
    op.quantity = quantity;
    return op;
}

QByteArray Op::digest() const
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArray::number(int(kind)) + '|');
    switch (kind) {
    case Kind::Tick:
        h.addData(QByteArray::number(line));
        break;
    case Kind::Untick: {
        h.addData(QByteArray::number(line));
        // The order a page lists what it saw in is no part of the change.
        QVector<Tag> seen = observed;
        std::sort(seen.begin(), seen.end(), [](const Tag &a, const Tag &b) {
            return a.source != b.source ? a.source < b.source : a.seq < b.seq;
        });
        seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
        for (const Tag &t : std::as_const(seen))
            h.addData('|' + t.source.toUtf8() + ':' + QByteArray::number(t.seq));
        break;
    }
    case Kind::Add:
        h.addData(item.toUtf8() + '\0' + quantity.toUtf8());
        break;
    }
    return h.result();
}

bool apply(State &state, const Op &op, Outcome *outcome, QString *error)
{
    *outcome = Outcome();
    const QByteArray digest = op.digest();
    bool fresh = false;
    QByteArray stored;
    if (!state.record(op, digest, &fresh, &stored, error))
        return false;
    if (!fresh) {
        if (!stored.isEmpty() && stored != digest)
            outcome->refused = QStringLiteral("its number was used for another change");
        else
            outcome->repeat = true;
        return true;
    }
    if (op.kind == Op::Kind::Add)
        return state.addLine(op, &outcome->newLine, error);
    bool onList = false;
    if (!state.lineExists(op.line, &onList, error))
        return false;
    outcome->lineGone = !onList;
    if (op.kind == Op::Kind::Tick)
        return state.putTick(op.line, op.tag(), error);
    const QString device = deviceOf(op.source);
    for (const Tag &t : op.observed) {
        bool take = deviceOf(t.source) == device;
        if (!take && !state.tickExists(op.line, t, &take, error))
            return false;
        if (take && !state.takeTick(op.line, t, error))
            return false;
    }
    return true;
}

bool Memory::record(const Op &op, const QByteArray &digest, bool *fresh, QByteArray *stored,
                    QString *)
{
    const auto it = m_applied.constFind(op.tag());
    *fresh = it == m_applied.cend();
    if (*fresh)
        m_applied.insert(op.tag(), digest);
    else
        *stored = it.value();
    return true;
}

bool Memory::lineExists(qint64 line, bool *exists, QString *)
{
    *exists = m_lines.contains(line);
    return true;
}

bool Memory::tickExists(qint64 line, const Tag &tick, bool *exists, QString *)
{
    *exists = m_live.value(line).contains(tick);
    return true;
}

bool Memory::putTick(qint64 line, const Tag &tick, QString *)
{
    if (!m_taken[line].remove(tick))
        m_live[line].insert(tick);
    return true;
}

bool Memory::takeTick(qint64 line, const Tag &tick, QString *)
{
    if (!m_live[line].remove(tick) && !m_applied.contains(tick))
        m_taken[line].insert(tick);
    return true;
}

bool Memory::addLine(const Op &op, qint64 *newLine, QString *)
{
    *newLine = m_nextLine++;
    m_lines.insert(*newLine);
    m_added.insert(op.tag(), op);
    return true;
}

void Memory::setLine(qint64 line, bool onList)
{
    if (onList)
        m_lines.insert(line);
    else
        m_lines.remove(line);
}

QVector<Tag> Memory::liveTicks(qint64 line) const
{
    const QSet<Tag> live = m_live.value(line);
    return QVector<Tag>(live.cbegin(), live.cend());
}

} // namespace pantrio::Share
