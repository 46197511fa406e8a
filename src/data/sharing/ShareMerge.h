#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

namespace pantrio::Share
{

// One tick as it was made: by which device, as that device's how-manieth
// operation. Ticks are told apart by it, never by a clock.
struct Tag {
    QString device;
    qint64 seq = 0;
    bool operator==(const Tag &o) const { return seq == o.seq && device == o.device; }
};
inline size_t qHash(const Tag &t, size_t seed = 0)
{
    return ::qHash(t.device, seed) ^ ::qHash(t.seq, seed);
}

// What a device did to the shared list. Each carries the device's id and its
// own sequence number; a repeat of the same (device, seq) is the same
// operation, applied once.
struct Op {
    enum class Kind { Tick, Untick, Add };
    QString device;
    qint64 seq = 0;
    Kind kind = Kind::Tick;
    qint64 line = 0;        // Tick, Untick: the line's ID
    QVector<Tag> observed;  // Untick: the ticks of that line the device had seen
    QString item, quantity; // Add
    Tag tag() const { return {device, seq}; }

    static Op tick(const QString &device, qint64 seq, qint64 line)
    {
        Op op;
        op.device = device;
        op.seq = seq;
        op.line = line;
        return op;
    }
    static Op untick(const QString &device, qint64 seq, qint64 line, QVector<Tag> observed)
    {
        Op op = tick(device, seq, line);
        op.kind = Kind::Untick;
        op.observed = std::move(observed);
        return op;
    }
    static Op add(const QString &device, qint64 seq, const QString &item, const QString &quantity)
    {
        Op op = tick(device, seq, 0);
        op.kind = Kind::Add;
        op.item = item;
        op.quantity = quantity;
        return op;
    }
};

// The merge rule: a line is ticked while it holds a tick that no untick has
// seen. An untick takes back exactly the ticks its device had seen, so a tick
// made meanwhile on another device stays (tick wins over a concurrent
// untick), and an untick that arrives before the tick it saw still takes it
// back when that tick comes. The result depends only on the set of
// operations: any order, any repeats.
class Merge
{
  public:
    // False when the operation was applied before (a repeat: nothing changes).
    bool apply(const Op &op);
    bool ticked(qint64 line) const;
    // The ticks of a line no untick has seen: what a device sends back when
    // it unticks the line.
    QVector<Tag> liveTicks(qint64 line) const;
    // Lines added by devices, each once, by their tag.
    const QHash<Tag, Op> &added() const { return m_added; }
    bool seen(const Tag &t) const { return m_applied.contains(t); }

  private:
    QSet<Tag> m_applied;
    QHash<qint64, QSet<Tag>> m_ticks;
    QHash<qint64, QSet<Tag>> m_taken;
    QHash<Tag, Op> m_added;
};

} // namespace pantrio::Share
