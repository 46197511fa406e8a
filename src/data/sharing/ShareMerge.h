#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

namespace pantrio::Share
{

// One operation as it was made: by which source, as that source's
// how-manieth operation. A source is one page instance of a joined phone,
// "<device>/<instance>" (a phone's older pages had only "<device>"), so two
// tabs of one phone never share a number. Told apart by it, never by a clock.
struct Tag {
    QString source;
    qint64 seq = 0;
    bool operator==(const Tag &o) const { return seq == o.seq && source == o.source; }
};
inline size_t qHash(const Tag &t, size_t seed = 0)
{
    return ::qHash(t.source, seed) ^ ::qHash(t.seq, seed);
}
// The phone a source belongs to.
inline QString deviceOf(const QString &source)
{
    return source.section(QLatin1Char('/'), 0, 0);
}

// What a phone did to the shared list. A repeat of the same (source, seq) is
// the same operation, applied once; the same tag with other contents is
// refused, never acknowledged as applied.
struct Op {
    enum class Kind { Tick, Untick, Add };
    QString source;
    qint64 seq = 0;
    Kind kind = Kind::Tick;
    qint64 line = 0;        // Tick, Untick: the line's ID
    QVector<Tag> observed;  // Untick: the ticks of that line the phone had seen
    QString item, quantity; // Add
    Tag tag() const { return {source, seq}; }
    // What tells this operation from another sent under the same tag.
    QByteArray digest() const;

    static Op tick(const QString &source, qint64 seq, qint64 line);
    static Op untick(const QString &source, qint64 seq, qint64 line, QVector<Tag> observed);
    static Op add(const QString &source, qint64 seq, const QString &item, const QString &quantity);
};

// What the rule reads and writes. The household file keeps it in its tables
// (ShareStore); Memory keeps it in memory, as the model the tests check the
// file against. Every function returns false, with the error, when it could
// not read or write.
class State
{
  public:
    virtual ~State() = default;
    // Marks tag as applied with its digest; *fresh false when it was applied
    // before, *stored then its digest as kept (empty when not known).
    virtual bool record(const Op &op, const QByteArray &digest, bool *fresh, QByteArray *stored,
                        QString *error) = 0;
    virtual bool lineExists(qint64 line, bool *exists, QString *error) = 0;
    // Whether the tick was made on this line (whether or not taken since).
    virtual bool tickExists(qint64 line, const Tag &tick, bool *exists, QString *error) = 0;
    // A tick: live, unless an untick took it before it came.
    virtual bool putTick(qint64 line, const Tag &tick, QString *error) = 0;
    // An untick of a tick: gone if it came, else kept so that it never counts.
    virtual bool takeTick(qint64 line, const Tag &tick, QString *error) = 0;
    virtual bool addLine(const Op &op, qint64 *newLine, QString *error) = 0;
};

struct Outcome {
    bool repeat = false;   // applied before: acknowledged, nothing changed
    bool lineGone = false; // the line is not on the list (deleted on the desktop)
    qint64 newLine = 0;    // an added line's ID
    QString refused;       // why it was not applied (then nothing changed)
};

// The merge rule, the one the program runs and the tests check: a line is
// ticked while it holds a tick that no untick has taken. An untick takes
// exactly the ticks its phone had seen, so a tick made meanwhile elsewhere
// stays (tick wins over a concurrent untick); a tick and an untick act
// whether or not the line is on the list at the time, so a line the desktop
// brings back (undo) has the ticks the phones left it. An untick can take
// only ticks that were made, or its own phone's (which may still be on the
// way): never another phone's future tick.
bool apply(State &state, const Op &op, Outcome *outcome, QString *error);

// The rule's state in memory: the model of what the file keeps.
class Memory : public State
{
  public:
    bool record(const Op &op, const QByteArray &digest, bool *fresh, QByteArray *stored,
                QString *error) override;
    bool lineExists(qint64 line, bool *exists, QString *error) override;
    bool tickExists(qint64 line, const Tag &tick, bool *exists, QString *error) override;
    bool putTick(qint64 line, const Tag &tick, QString *error) override;
    bool takeTick(qint64 line, const Tag &tick, QString *error) override;
    bool addLine(const Op &op, qint64 *newLine, QString *error) override;

    // The lines on the list, as the desktop has them.
    void setLine(qint64 line, bool onList);
    void setNextLine(qint64 id) { m_nextLine = id; }
    bool ticked(qint64 line) const { return !m_live.value(line).isEmpty(); }
    QVector<Tag> liveTicks(qint64 line) const;
    // Lines added by phones, each once, by their tag.
    const QHash<Tag, Op> &added() const { return m_added; }

  private:
    QHash<Tag, QByteArray> m_applied;
    QHash<qint64, QSet<Tag>> m_live, m_taken;
    QHash<Tag, Op> m_added;
    QSet<qint64> m_lines;
    qint64 m_nextLine = 1;
};

} // namespace pantrio::Share
