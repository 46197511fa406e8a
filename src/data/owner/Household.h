#pragma once

#include "data/access/Connection.h"
#include "data/access/DEVendora.h"
#include "data/access/RecordSet.h"
#include "data/owner/UndoHistory.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <map>

namespace pantrio
{

// The open household file: the one owner of Vendora.mdb while Pantrio runs.
// It holds the connection every window and command shares, the report data
// environment on it, the file's schema version, whether it may be written,
// and the history of the user's changes. Every change goes through change(),
// undo() or redo(), which write in one transaction and then announce what
// changed, so each window reloads what it shows from one place, whichever
// window made the change. Outlives the windows; opening another file or
// replacing this one's contents clears the history.
class Household : public QObject
{
    Q_OBJECT
  public:
    enum Change {
        Catalogue = 0x01,
        Categories = 0x02,
        List = 0x04,
        StoresAndAisles = 0x08,
        Appearance = 0x10,
        Replaced = 0x20, // the whole file: reload everything
        Meals = 0x40,    // meals, their ingredients, purchases and usual choices
        Ticks = 0x80,    // lines ticked or unticked: those of ticksChanged()
    };
    Q_DECLARE_FLAGS(Changes, Change)
    Q_FLAG(Changes)

    explicit Household(QObject *parent = nullptr);
    ~Household() override;

    // Opens the file and brings an older version up to date in one
    // transaction (a file that may only be read is shown as it is). False,
    // with the file closed and unchanged, when it cannot be used.
    bool open(const QString &path, QString *error,
              Connection::Mode mode = Connection::Mode::ReadWrite);
    void close();
    bool isOpen() const { return m_connection.isOpen(); }
    QString path() const { return m_path; }
    Connection &connection() { return m_connection; }
    DEVendora &de() { return m_de; }
    int schemaVersion() const { return m_version; }
    bool hasStores() const { return m_version >= 2; }
    bool hasSharing() const { return m_version >= 3; }
    bool hasMeals() const { return m_version >= 5; }

    // Why nothing may be changed (empty when it may).
    QString readOnlyReason() const { return m_connection.readOnlyReason(); }
    bool isReadOnly() const { return m_connection.isReadOnly(); }

    // Runs write in one transaction (rolled back when it returns false) and
    // announces what. With a text, what it changed becomes one step of the
    // history named so; a write that changed no row leaves none. A change
    // asked for inside another (a record set's write within a command) is
    // part of that one's step. origin: what made it (a record set that holds
    // the change already), handed on in the announcement.
    bool change(const QString &text, Changes what, const std::function<bool(QString *)> &write,
                QString *error, const QObject *origin = nullptr);

    // Inside a change's write: announce what too, as found while writing.
    void alsoChanged(Changes what)
    {
        if (m_writing)
            m_nested |= what;
    }

    // Inside a change's write: these lines' ticks changed; ticked, those of
    // them ticked now. Announced as Ticks, so a window can show those rows
    // alone rather than read the whole list again.
    void alsoTicked(const QSet<qint64> &lines, const QSet<qint64> &ticked)
    {
        if (!m_writing)
            return;
        m_nested |= Ticks;
        for (const qint64 line : lines)
            m_ticks.insert(line, ticked.contains(line));
    }
    // While Ticks is announced: each line whose ticks changed, and whether
    // it is ticked now.
    const QHash<qint64, bool> &ticksChanged() const { return m_announcedTicks; }

    // A record set's writes as changes of this file, each one step named by
    // what it does ("%n" takes the number of rows), announced as what.
    RecordSetGate *gate(const char *addText, const char *editText, const char *deleteText,
                        Changes what);

    UndoHistory &history() { return m_history; }
    // Each in one transaction, restoring the rows exactly; a step whose rows
    // were changed since by anything not on the history is refused and
    // changes nothing.
    bool undo(QString *error);
    bool redo(QString *error);
    // Why undo is not available at all for this file (empty when it is).
    QString historyUnavailableReason() const { return m_noHistory; }

    // The file was removed or moved away while open: a write was refused,
    // and vanished() said so. What the open file still holds is written back
    // to its place (never over a file that has appeared there since) and
    // opened again, the history kept.
    bool isGone() const { return isOpen() && !m_connection.fileIsStillThere(nullptr); }
    bool writeBack(QString *error);

    // The file's contents were replaced (a restore): read it afresh, clear
    // the history, announce Replaced. replace() runs the replacing itself
    // with the file closed.
    bool replace(const std::function<bool(QString *)> &replaceFile, QString *error);

  signals:
    void changed(pantrio::Household::Changes what, const QObject *origin);
    // A write was refused: the file is no longer where it was opened.
    void vanished();

  private:
    bool readSchema(QString *error);
    bool replay(bool forward, QString *error);
    bool keysOn(QString *error);
    bool readRecordedTables(QString *error);
    QStringList tablesToCheck(const QStringList &changed) const;

    QString m_path;
    Connection m_connection;
    DEVendora m_de;
    UndoHistory m_history;
    int m_version = 0;
    QString m_noHistory;
    QSet<QString> m_recorded;               // the tables the history records
    QHash<QString, QSet<QString>> m_parents; // a table -> the tables its keys refer to
    bool m_writing = false;
    bool m_keysOff = false;
    Changes m_nested;
    QHash<qint64, bool> m_ticks, m_announcedTicks;
    std::map<QString, std::unique_ptr<RecordSetGate>> m_gates;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Household::Changes)

} // namespace pantrio
