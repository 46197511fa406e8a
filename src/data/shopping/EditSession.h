#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

namespace pantrio
{

class RecordSet;

// The item editor's modes over its record set: browsing, adding a new record
// or editing the current one, and the record to go back to when a change is
// cancelled (the one that was current when the last addition began). Leaving
// a record finishes its pending change as the record set's write-on-leave
// would; a new record left blank is dropped. Knows no widgets: the editor
// window shows what modeChanged() tells it.
class EditSession : public QObject
{
    Q_OBJECT
  public:
    enum class Mode { Browse, Adding, Editing };

    // fields: the fields the user types in (a new record with all of them
    // empty counts as blank).
    EditSession(RecordSet *records, QStringList fields, QObject *parent = nullptr);

    Mode mode() const { return m_mode; }
    bool adding() const { return m_mode == Mode::Adding; }
    bool editing() const { return m_mode == Mode::Editing; }

    // A new record at the end, made current; the return mark remembers where
    // the user was.
    bool add(QString *error);
    void edit();
    // Writes the change; a new record stays current (as the last one).
    bool update(QString *error);
    // Drops the change and goes back to the return mark, or to the first record.
    void cancel();
    // Writes a pending change, or drops a blank new record, and browses again.
    // False, with nothing changed, when the write fails.
    bool finish(QString *error);
    // What the user typed into a field; empty text is stored as Null.
    void setField(const QString &field, const QString &text);

    // Browsing. A step past either end stays on the last or first record,
    // and says so in *pastEnd (the editor beeps).
    enum class Step { First, Previous, Next, Last };
    bool move(Step step, bool *pastEnd, QString *error);
    // Deletes the current record; the next takes its place, past the end the last.
    bool removeCurrent(QString *error);
    // Reads the records again after a change made elsewhere, any change being
    // typed dropped: the same item stays current where it still exists, else
    // the record at its place.
    bool reread(QString *error);

  signals:
    void modeChanged(pantrio::EditSession::Mode mode);

  private:
    void setMode(Mode mode);

    RecordSet *m_records;
    QStringList m_fields;
    Mode m_mode = Mode::Browse;
    std::optional<qint64> m_returnMark;
};

} // namespace pantrio
