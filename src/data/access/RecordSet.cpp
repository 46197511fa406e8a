#include "data/access/RecordSet.h"

#include "data/access/Connection.h"

#include <algorithm>

namespace pantrio
{

RecordSource RecordSource::wholeTable(const QString &table, const QString &key)
{
    RecordSource s;
    s.table = table;
    s.key = key;
    s.select = key == QLatin1String("rowid")
                   ? QStringLiteral("SELECT *, rowid FROM \"%1\"").arg(table)
                   : QStringLiteral("SELECT * FROM \"%1\"").arg(table);
    return s;
}

bool valuesEqual(const QVariant &stored, const QVariant &wanted)
{
    if (stored.isNull() || wanted.isNull())
        return false;
    const int t = stored.typeId();
    if (t == QMetaType::LongLong || t == QMetaType::Int || t == QMetaType::Double) {
        bool ok = false;
        const double w = wanted.toString().trimmed().toDouble(&ok);
        return ok && stored.toDouble() == w;
    }
    return stored.toString() == wanted.toString();
}

namespace
{

QString noCurrentRecord()
{
    return QStringLiteral("Either BOF or EOF is True, or the current record has been deleted.");
}

QString quoted(const QString &identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

} // namespace

RecordSet::RecordSet(Connection *connection, RecordSource source, QObject *parent)
    : QObject(parent), m_connection(connection), m_source(std::move(source))
{
}

RecordSet::~RecordSet() = default;

bool RecordSet::rawRead(QString *error)
{
    if (!m_connection) {
        if (error)
            *error = QStringLiteral("The database is not open.");
        return false;
    }
    RowStore rows;
    QStringList names;
    if (!m_connection->select(m_source.select, {}, &rows, &names, error))
        return false;
    if (m_source.hiddenKey()) {
        // The key is selected last and stays out of the visible fields.
        m_keyField = int(names.size()) - 1;
        names.removeLast();
    } else {
        m_keyField = int(names.indexOf(m_source.key));
    }
    m_fields = names;
    m_rows = std::move(rows);
    m_pending.clear();
    m_new.clear();
    m_deleted.clear();
    return true;
}

bool RecordSet::requery(QString *error)
{
    emit aboutToReset();
    ++m_generation;
    m_dirty.clear();
    const bool ok = rawRead(error);
    if (ok)
        m_open = true;
    m_posBeforeAdd = -1;
    rebuildView();
    m_pos = m_view.isEmpty() ? -1 : 0;
    emit reset();
    emit moveComplete();
    return ok;
}

void RecordSet::close()
{
    emit aboutToReset();
    m_rows = RowStore();
    m_pending.clear();
    m_new.clear();
    m_deleted.clear();
    m_view.clear();
    m_dirty.clear();
    m_updateSql.clear();
    m_pos = -1;
    m_open = false;
    emit reset();
}

int RecordSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant RecordSet::valueAt(int row, int field) const
{
    if (row < 0 || row >= m_view.size() || field < 0 || field >= m_fields.size())
        return QVariant();
    const int index = m_view.at(row);
    const auto pending = m_pending.constFind(index);
    if (pending != m_pending.constEnd())
        return pending->at(field);
    return m_rows.value(index, field);
}

RowStore RecordSet::snapshot(QVector<int> *order) const
{
    *order = m_view;
    RowStore rows = m_rows;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        rows.set(it.key(), it.value());
    return rows;
}

RecordSet::Row RecordSet::rowAt(int index) const
{
    Row r;
    r.values = m_rows.row(index);
    r.pending = m_pending.value(index);
    r.isNew = m_new.contains(index);
    return r;
}

void RecordSet::putRow(int index, const Row &row)
{
    m_rows.set(index, row.values);
    if (row.pending.isEmpty())
        m_pending.remove(index);
    else
        m_pending.insert(index, row.pending);
    if (row.isNew)
        m_new.insert(index);
    else
        m_new.remove(index);
}

bool RecordSet::setValueAt(int row, int field, const QVariant &value)
{
    if (row < 0 || row >= m_view.size() || field < 0 || field >= m_fields.size() ||
        field == m_keyField)
        return false;
    const int index = m_view.at(row);
    auto pending = m_pending.find(index);
    if (pending == m_pending.end())
        pending = m_pending.insert(index, m_rows.row(index));
    (*pending)[field] = value;
    m_dirty.insert(index);
    emit valueChanged(row, field);
    return true;
}

bool RecordSet::isPendingAt(int row) const
{
    if (row < 0 || row >= m_view.size())
        return false;
    const int index = m_view.at(row);
    return m_new.contains(index) || m_pending.contains(index);
}

bool RecordSet::isNew() const
{
    return hasCurrent() && m_new.contains(m_view.at(m_pos));
}

bool RecordSet::leaveCurrent(QString *error)
{
    if (m_updateOnMove && isPending())
        return update(error);
    return true;
}

void RecordSet::setPos(int pos)
{
    m_pos = pos;
    emit moveComplete();
}

bool RecordSet::moveFirst(QString *error)
{
    if (!leaveCurrent(error))
        return false;
    setPos(m_view.isEmpty() ? -1 : 0);
    return true;
}

bool RecordSet::moveLast(QString *error)
{
    if (!leaveCurrent(error))
        return false;
    setPos(m_view.isEmpty() ? -1 : int(m_view.size()) - 1);
    return true;
}

bool RecordSet::moveNext(QString *error)
{
    if (eof()) {
        if (error)
            *error = noCurrentRecord();
        return false;
    }
    if (!leaveCurrent(error))
        return false;
    setPos(m_pos + 1);
    return true;
}

bool RecordSet::movePrevious(QString *error)
{
    if (bof()) {
        if (error)
            *error = noCurrentRecord();
        return false;
    }
    if (!leaveCurrent(error))
        return false;
    setPos(m_pos - 1);
    return true;
}

bool RecordSet::moveTo(int index, QString *error)
{
    if (index < 0 || index >= m_view.size()) {
        if (error)
            *error = QStringLiteral("No such record.");
        return false;
    }
    if (index == m_pos)
        return true;
    if (!leaveCurrent(error))
        return false;
    setPos(index);
    return true;
}

bool RecordSet::moveToBookmark(Bookmark mark, QString *error)
{
    const int index =
        (mark >> 32) == m_generation ? int(m_view.indexOf(int(mark & 0xffffffff))) : -1;
    if (mark < 0 || index < 0) {
        if (error)
            *error = QStringLiteral("The bookmarked record is no longer there.");
        return false;
    }
    return moveTo(index, error);
}

bool RecordSet::addRecord(const QString &field, const QVariant &value, QString *error)
{
    if (!addNew(error))
        return false;
    if (setValue(field, value) && update(error))
        return true;
    cancelUpdate(); // the new row only
    if (error && error->isEmpty())
        *error = QStringLiteral("The record could not be added.");
    return false;
}

bool RecordSet::addNew(QString *error)
{
    if (!m_open) {
        if (error)
            *error = QStringLiteral("The record set is not open.");
        return false;
    }
    if (!leaveCurrent(error))
        return false;
    const QVector<QVariant> blank(m_fields.size() + (m_source.hiddenKey() ? 1 : 0));
    if (m_rows.columnCount() != blank.size())
        m_rows = RowStore(int(blank.size())); // never read: nothing to keep
    m_posBeforeAdd = m_pos;
    m_rows.append(blank);
    const int index = m_rows.rowCount() - 1;
    m_new.insert(index);
    m_pending.insert(index, blank);
    m_view.append(index);
    m_dirty.insert(index);
    emit rowInserted(int(m_view.size()) - 1);
    setPos(int(m_view.size()) - 1);
    return true;
}

bool RecordSet::writeRow(Row &row, QString *error)
{
    if (!m_connection->canWrite(error))
        return false;
    QVariantList binds;
    QString sql;
    if (row.isNew) {
        QStringList cols, marks;
        for (int i = 0; i < m_fields.size(); ++i) {
            if (i == m_keyField)
                continue;
            cols << quoted(m_fields.at(i));
            marks << QStringLiteral("?");
            binds << row.pending.at(i);
        }
        sql = cols.isEmpty()
                  ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_source.table))
                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(quoted(m_source.table), cols.join(QLatin1Char(',')),
                             marks.join(QLatin1Char(',')));
    } else {
        // The statement depends only on which fields changed: made once per set.
        quint64 changed = 0;
        for (int i = 0; i < m_fields.size() && i < 64; ++i) {
            if (i == m_keyField)
                continue;
            const QVariant &a = row.pending.at(i);
            const QVariant &b = row.values.at(i);
            if (a.isNull() == b.isNull() && a == b)
                continue;
            changed |= quint64(1) << i;
            binds << a;
        }
        if (!changed) {
            row.pending.clear();
            return true;
        }
        auto it = m_updateSql.constFind(changed);
        if (it == m_updateSql.constEnd()) {
            QStringList sets;
            for (int i = 0; i < m_fields.size() && i < 64; ++i)
                if (changed & (quint64(1) << i))
                    sets << quoted(m_fields.at(i)) + QStringLiteral("=?");
            it = m_updateSql.insert(changed, QStringLiteral("UPDATE %1 SET %2 WHERE %3=?")
                                                 .arg(quoted(m_source.table),
                                                      sets.join(QLatin1Char(',')), m_source.key));
        }
        sql = *it;
        binds << row.values.at(m_keyField);
    }
    int changes = 0;
    qlonglong id = 0;
    if (!m_connection->exec(sql, binds, error, &changes, &id))
        return false;
    if (row.isNew) {
        QVector<QVariant> values = row.pending;
        if (m_keyField >= 0)
            values[m_keyField] = id;
        row.values = values;
        row.isNew = false;
    } else if (changes == 0) {
        if (error)
            *error = QStringLiteral("The record could not be saved: it is no longer in the "
                                    "database.");
        return false;
    } else {
        row.values = row.pending;
    }
    row.pending.clear();
    return true;
}

bool RecordSet::updateAt(int row, QString *error)
{
    if (m_gate && row >= 0 && row < m_view.size()) {
        const int index = m_view.at(row);
        const bool isNew = m_new.contains(index);
        if (isNew || m_pending.contains(index))
            return m_gate->write(this, isNew ? RecordSetGate::Kind::Add : RecordSetGate::Kind::Edit, 1,
                                 [&](QString *e) { return writeAt(row, e); }, error);
    }
    return writeAt(row, error);
}

bool RecordSet::writeAt(int row, QString *error)
{
    if (row < 0 || row >= m_view.size()) {
        if (error)
            *error = noCurrentRecord();
        return false;
    }
    const int index = m_view.at(row);
    if (!m_new.contains(index) && !m_pending.contains(index))
        return true;
    // Work on a copy so a failed write leaves the pending change in place;
    // the row takes what was written only once the write has lasted.
    Row copy = rowAt(index);
    const bool wasNew = copy.isNew;
    if (!writeRow(copy, error))
        return false;
    m_connection->afterCommit([this, index, row, copy, wasNew] {
        putRow(index, copy);
        m_dirty.remove(index);
        // The row already shows what was written; only a new row's key is news.
        if (wasNew)
            emit rowChanged(row);
    });
    return true;
}

bool RecordSet::updateBatch(QString *error)
{
    if (m_gate) {
        int rows = 0;
        bool adding = false;
        for (int i : std::as_const(m_dirty)) {
            if (isDirty(i)) {
                ++rows;
                adding = adding || m_new.contains(i);
            }
        }
        if (rows > 0)
            return m_gate->write(this, adding ? RecordSetGate::Kind::Add : RecordSetGate::Kind::Edit,
                                 rows, [&](QString *e) { return writeBatch(e); }, error);
    }
    return writeBatch(error);
}

bool RecordSet::writeBatch(QString *error)
{
    QVector<int> dirty;
    for (int i : std::as_const(m_dirty))
        if (isDirty(i))
            dirty << i;
    if (dirty.isEmpty())
        return true;
    std::sort(dirty.begin(), dirty.end());
    QVector<Row> written;
    const bool ok = m_connection->transaction(
        [&] {
            for (int i : std::as_const(dirty)) {
                Row copy = rowAt(i);
                if (!writeRow(copy, error))
                    return false;
                written << copy;
            }
            return true;
        },
        error);
    if (!ok)
        return false;
    m_connection->afterCommit([this, dirty, written]() mutable {
        for (int k = 0; k < dirty.size(); ++k) {
            putRow(dirty.at(k), written.at(k));
            m_dirty.remove(dirty.at(k));
        }
        // Pending rows are few and usually at the end of the view.
        for (int i = int(m_view.size()) - 1; i >= 0 && !dirty.isEmpty(); --i) {
            const qsizetype k = dirty.indexOf(m_view.at(i));
            if (k >= 0) {
                dirty.removeAt(k);
                emit rowChanged(i);
            }
        }
    });
    return true;
}

void RecordSet::cancelUpdate()
{
    if (!hasCurrent())
        return;
    const int index = m_view.at(m_pos);
    m_dirty.remove(index);
    if (m_new.contains(index)) {
        // Renumber the rows after it: every mark and the view follow.
        auto shift = [index](QSet<int> &set) {
            QSet<int> shifted;
            for (int d : std::as_const(set))
                if (d != index)
                    shifted.insert(d > index ? d - 1 : d);
            set = shifted;
        };
        shift(m_dirty);
        shift(m_new);
        shift(m_deleted);
        QHash<int, QVector<QVariant>> pending;
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            if (it.key() != index)
                pending.insert(it.key() > index ? it.key() - 1 : it.key(), it.value());
        m_pending = pending;
        m_rows.removeAt(index);
        m_view.removeAt(m_pos);
        for (int &v : m_view)
            if (v > index)
                --v;
        emit rowsRemoved();
        int back = m_posBeforeAdd;
        if (back < 0 || back >= m_view.size())
            back = m_view.isEmpty() ? -1 : 0;
        setPos(back);
        return;
    }
    if (m_pending.remove(index)) {
        emit rowChanged(m_pos);
    }
}

bool RecordSet::deleteCurrent(QString *error)
{
    if (!hasCurrent()) {
        if (error)
            *error = noCurrentRecord() +
                     QStringLiteral(" Requested operation requires a current record.");
        return false;
    }
    return deleteRows({m_pos}, error);
}

bool RecordSet::deleteRows(QList<int> rows, QString *error)
{
    if (m_gate)
        return m_gate->write(this, RecordSetGate::Kind::Delete, int(rows.size()),
                             [&](QString *e) { return removeRows(rows, e); }, error);
    return removeRows(rows, error);
}

bool RecordSet::removeRows(QList<int> rows, QString *error)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int r : std::as_const(rows)) {
        if (r < 0 || r >= m_view.size()) {
            if (error)
                *error = QStringLiteral("No such record.");
            return false;
        }
    }
    const QString sql =
        QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(quoted(m_source.table), m_source.key);
    const bool ok = m_connection->transaction(
        [&] {
            for (int r : std::as_const(rows)) {
                const int index = m_view.at(r);
                if (m_new.contains(index))
                    continue;
                int affected = 0;
                if (!m_connection->exec(sql, {m_rows.value(index, m_keyField)}, error, &affected))
                    return false;
                if (affected == 0) {
                    // Already gone: delete nothing else and say so.
                    if (error)
                        *error = QStringLiteral("The record is no longer in the database; "
                                                "nothing was deleted.");
                    return false;
                }
            }
            return true;
        },
        error);
    if (!ok)
        return false;
    // The rows leave the set only once their deletion has lasted.
    m_connection->afterCommit([this, rows] {
        for (int k = int(rows.size()) - 1; k >= 0; --k) {
            m_deleted.insert(m_view.at(rows.at(k)));
            m_view.removeAt(rows.at(k));
        }
        emit rowsRemoved();
        // Like a deleted record in an open record set: the position stays put
        // and the caller moves on; past the end means EOF.
        m_pos = std::min(m_pos, int(m_view.size()));
        if (m_view.isEmpty())
            m_pos = -1;
    });
    return true;
}

void RecordSet::rebuildView()
{
    m_view.clear();
    m_view.reserve(m_rows.rowCount() - m_deleted.size());
    const int f = m_filter ? fieldIndex(m_filter->column) : -1;
    const bool textual = m_filter && m_filter->value.typeId() == QMetaType::QString;
    const QString wanted = textual ? m_filter->value.toString() : QString();
    for (int i = 0; i < m_rows.rowCount(); ++i) {
        if (!m_deleted.isEmpty() && m_deleted.contains(i))
            continue;
        if (m_filter) {
            if (f < 0)
                continue;
            const QVariant v = m_rows.value(i, f);
            // Text against text is the common case: compare without conversions.
            const bool hit = textual && v.typeId() == QMetaType::QString
                                 ? *static_cast<const QString *>(v.constData()) == wanted
                                 : valuesEqual(v, m_filter->value);
            if (!hit)
                continue;
        }
        m_view.append(i);
    }
}

void RecordSet::setFilter(const std::optional<Criterion> &criterion)
{
    emit aboutToReset();
    m_filter = criterion;
    rebuildView();
    m_pos = m_view.isEmpty() ? -1 : 0;
    emit reset();
    emit moveComplete();
}

bool RecordSet::find(const Criterion &criterion)
{
    const int f = fieldIndex(criterion.column);
    int start = m_pos < 0 ? 0 : m_pos;
    for (int i = start; f >= 0 && i < m_view.size(); ++i) {
        if (valuesEqual(valueAt(i, f), criterion.value)) {
            setPos(i);
            return true;
        }
    }
    setPos(int(m_view.size()));
    return false;
}

} // namespace pantrio
