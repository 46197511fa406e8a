#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QSharedPointer>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "data/access/RowStore.h"

#include <functional>
#include <optional>

namespace pantrio
{

class Connection;
class RecordSet;

// Where a record set's writes go when it belongs to the open household file:
// each whole write (a row, a batch, a deletion) runs through write(), which
// makes it one change of the file, recorded and announced.
class RecordSetGate
{
  public:
    enum class Kind { Add, Edit, Delete };
    virtual ~RecordSetGate() = default;
    virtual bool write(RecordSet *origin, Kind kind, int rows,
                       const std::function<bool(QString *)> &fn, QString *error) = 0;
};

// Where a record set reads from and writes back to. Writes go to one table and
// find their row by key: "ID" where the table has one, the hidden rowid else.
struct RecordSource {
    QString select;
    QString table;
    QString key = QStringLiteral("ID");

    // A whole table, read in its stored order.
    static RecordSource wholeTable(const QString &table, const QString &key = QStringLiteral("ID"));
    bool hiddenKey() const { return key == QLatin1String("rowid"); }
};

// An equality condition on one column. Values are compared, never pasted into SQL.
struct Criterion {
    QString column;
    QVariant value;
};

// A static, updatable snapshot of a query: the window's view of a table. Rows
// are read once (open/requery); edits are held as pending changes of a row
// until update/updateBatch writes them, with bound parameters, through the
// owning connection. A filter hides rows without re-reading. Positions count
// the visible rows; bookmarks survive filtering but not a requery.
class RecordSet : public QObject
{
    Q_OBJECT
  public:
    // Bookmarks carry the snapshot they were taken in; a requery voids them.
    using Bookmark = qint64;

    RecordSet(Connection *connection, RecordSource source, QObject *parent = nullptr);
    ~RecordSet() override;

    void setConnection(Connection *connection) { m_connection = connection; }
    // Null: writes go straight to the connection.
    void setGate(RecordSetGate *gate) { m_gate = gate; }
    const RecordSource &source() const { return m_source; }

    bool open(QString *error) { return requery(error); }
    // Re-reads the whole query; pending changes are dropped, the filter stays,
    // the first row becomes current.
    bool requery(QString *error);
    void close();
    bool isOpen() const { return m_open; }

    int recordCount() const { return m_view.size(); }
    bool bof() const { return m_view.isEmpty() || m_pos < 0; }
    bool eof() const { return m_view.isEmpty() || m_pos >= m_view.size(); }
    bool hasCurrent() const { return m_pos >= 0 && m_pos < m_view.size(); }
    // 1-based number of the current row; 0 when there is none.
    int absolutePosition() const { return hasCurrent() ? m_pos + 1 : 0; }
    int currentIndex() const { return hasCurrent() ? m_pos : -1; }

    // Moving away from a row with a pending change writes it first when
    // updateOnMove is set (as an optimistic record set does); a failed write
    // leaves the position where it was.
    void setUpdateOnMove(bool on) { m_updateOnMove = on; }
    bool moveFirst(QString *error = nullptr);
    bool moveLast(QString *error = nullptr);
    bool moveNext(QString *error = nullptr);
    bool movePrevious(QString *error = nullptr);
    bool moveTo(int index, QString *error = nullptr);

    QStringList fieldNames() const { return m_fields; }
    int fieldCount() const { return m_fields.size(); }
    int fieldIndex(const QString &name) const;
    QVariant value(int field) const { return valueAt(m_pos, field); }
    QVariant value(const QString &name) const { return value(fieldIndex(name)); }
    QVariant valueAt(int row, int field) const;
    QVariant valueAt(int row, const QString &name) const { return valueAt(row, fieldIndex(name)); }

    // Pending changes, written by update()/updateBatch().
    bool setValue(int field, const QVariant &value) { return setValueAt(m_pos, field, value); }
    bool setValue(const QString &name, const QVariant &value)
    {
        return setValue(fieldIndex(name), value);
    }
    bool setValueAt(int row, int field, const QVariant &value);
    bool isPending() const { return isPendingAt(m_pos); }
    bool isPendingAt(int row) const;
    bool isNew() const;
    // Whether any row has a change not yet written.
    bool hasPendingChanges() const { return !m_dirty.isEmpty(); }

    // Appends a blank row at the end and makes it current.
    bool addNew(QString *error = nullptr);
    // A new row with one field set, written at once; nothing is left pending
    // when it fails.
    bool addRecord(const QString &field, const QVariant &value, QString *error);
    bool update(QString *error) { return updateAt(m_pos, error); }
    bool updateAt(int row, QString *error);
    // Writes every row with a pending change in one transaction: all or none.
    bool updateBatch(QString *error);
    // Drops the current row's pending change; a new row disappears and the row
    // that was current before addNew() is current again.
    void cancelUpdate();
    bool deleteCurrent(QString *error);
    // Deletes the given visible rows in one transaction.
    bool deleteRows(QList<int> rows, QString *error);

    void setFilter(const std::optional<Criterion> &criterion);
    const std::optional<Criterion> &filter() const { return m_filter; }
    // From the current row on (the first when before the start), the first row
    // meeting the criterion becomes current; none found leaves the set at EOF.
    bool find(const Criterion &criterion);

    // The visible rows, packed, in view order, with any change not yet
    // written in them: a copy that costs nothing until either side changes.
    RowStore snapshot(QVector<int> *order) const;

    Bookmark bookmark() const
    {
        return hasCurrent() ? (qint64(m_generation) << 32) | m_view.at(m_pos) : -1;
    }
    bool moveToBookmark(Bookmark mark, QString *error = nullptr);

  signals:
    void aboutToReset();
    void reset();
    void rowInserted(int row);
    void rowsRemoved();
    void rowChanged(int row);
    void valueChanged(int row, int field); // a pending change of one field
    void moveComplete();

  private:
    // A row's working copy while it is written.
    struct Row {
        QVector<QVariant> values;
        QVector<QVariant> pending; // empty: no change
        bool isNew = false;
    };
    Row rowAt(int index) const;
    void putRow(int index, const Row &row);
    bool isDirty(int index) const
    {
        return !m_deleted.contains(index) && (m_new.contains(index) || m_pending.contains(index));
    }

    bool leaveCurrent(QString *error);
    void setPos(int pos);
    void rebuildView();
    bool writeRow(Row &row, QString *error);
    bool writeAt(int row, QString *error);
    bool writeBatch(QString *error);
    bool removeRows(QList<int> rows, QString *error);
    bool rawRead(QString *error);

    Connection *m_connection;
    RecordSetGate *m_gate = nullptr;
    RecordSource m_source;
    QStringList m_fields; // visible fields; the hidden rowid is stored after them
    int m_keyField = -1;
    // Rows as read or last written, packed; changes not yet written beside them.
    RowStore m_rows;
    QHash<int, QVector<QVariant>> m_pending;
    QSet<int> m_new;
    QSet<int> m_deleted;
    QVector<int> m_view;
    int m_pos = -1;
    int m_posBeforeAdd = -1;
    bool m_open = false;
    int m_generation = 0;
    bool m_updateOnMove = false;
    std::optional<Criterion> m_filter;
    QSet<int> m_dirty;                   // rows (of m_rows) with a pending change or new
    QHash<quint64, QString> m_updateSql; // by the set of changed fields
};

// Equality as the filters and finds mean it: Null equals nothing; a numeric
// column compares numerically, so an ID matches its text.
bool valuesEqual(const QVariant &stored, const QVariant &wanted);

} // namespace pantrio
