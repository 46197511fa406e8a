#include "data/models/RecordSetModel.h"

#include "data/access/RecordSet.h"

namespace pantrio
{

RecordSetModel::RecordSetModel(QObject *parent) : QAbstractTableModel(parent) {}

void RecordSetModel::setRecordSet(RecordSet *recordset)
{
    beginResetModel();
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_rs = recordset;
    if (m_rs) {
        m_links << connect(m_rs, &RecordSet::aboutToReset, this, [this] { beginResetModel(); });
        m_links << connect(m_rs, &RecordSet::reset, this, [this] { endResetModel(); });
        // Row insertions and removals are rare and small; a reset keeps it simple
        // and is cheap because the view asks only for visible rows.
        m_links << connect(m_rs, &RecordSet::rowInserted, this, [this] {
            beginResetModel();
            endResetModel();
        });
        m_links << connect(m_rs, &RecordSet::rowsRemoved, this, [this] {
            beginResetModel();
            endResetModel();
        });
        m_links << connect(m_rs, &RecordSet::rowChanged, this, [this](int row) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
        m_links << connect(m_rs, &RecordSet::valueChanged, this, [this](int row, int field) {
            for (int c = 0; c < columnCount(); ++c)
                if (fieldOf(c) == field)
                    emit dataChanged(index(row, c), index(row, c));
        });
    }
    endResetModel();
}

void RecordSetModel::setColumns(const QStringList &fields)
{
    beginResetModel();
    m_columns = fields;
    endResetModel();
}

void RecordSetModel::setEmptyText(const QString &field, const QString &text)
{
    m_emptyField = field;
    m_emptyText = text;
}

int RecordSetModel::fieldOf(int column) const
{
    if (!m_rs || column < 0)
        return -1;
    if (m_columns.isEmpty())
        return column < m_rs->fieldCount() ? column : -1;
    return column < m_columns.size() ? m_rs->fieldIndex(m_columns.at(column)) : -1;
}

int RecordSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_rs ? 0 : m_rs->recordCount();
}

int RecordSetModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_rs)
        return 0;
    return m_columns.isEmpty() ? m_rs->fieldCount() : int(m_columns.size());
}

QVariant RecordSetModel::data(const QModelIndex &index, int role) const
{
    if (!m_rs || !index.isValid())
        return {};
    const int field = fieldOf(index.column());
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::AccessibleTextRole) {
        const QVariant v = m_rs->valueAt(index.row(), field);
        if (role != Qt::EditRole && !m_emptyText.isEmpty() && v.toString().isEmpty() &&
            m_rs->fieldNames().value(field).compare(m_emptyField, Qt::CaseInsensitive) == 0)
            return m_emptyText;
        if (role != Qt::EditRole && !m_notes.isEmpty() &&
            m_rs->fieldNames().value(field).compare(m_noteField, Qt::CaseInsensitive) == 0) {
            const auto note = m_notes.constFind(m_rs->valueAt(index.row(), m_noteKey).toLongLong());
            if (note != m_notes.cend())
                return QStringLiteral("%1 \u2014 %2").arg(v.toString(), *note);
        }
        return v.isNull() ? QVariant(QString()) : v;
    }
    // Ticked on a phone: shown, and told to a screen reader, as checked.
    if (role == Qt::CheckStateRole && index.column() == 0 && !m_ticked.isEmpty())
        return m_ticked.contains(m_rs->valueAt(index.row(), m_tickKey).toLongLong()) ? Qt::Checked
                                                                                      : Qt::Unchecked;
    return {};
}

void RecordSetModel::setTicked(const QSet<qint64> &keys, const QString &keyField)
{
    if (keys == m_ticked && keyField == m_tickKey)
        return;
    m_ticked = keys;
    m_tickKey = keyField;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

void RecordSetModel::setTicks(const QHash<qint64, bool> &changed, const QString &keyField)
{
    if (keyField != m_tickKey) {
        QSet<qint64> ticked = m_ticked;
        for (auto it = changed.cbegin(); it != changed.cend(); ++it)
            it.value() ? (void)ticked.insert(it.key()) : (void)ticked.remove(it.key());
        return setTicked(ticked, keyField);
    }
    const bool hadTicks = !m_ticked.isEmpty();
    QSet<qint64> moved;
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        if (it.value() != m_ticked.contains(it.key())) {
            it.value() ? (void)m_ticked.insert(it.key()) : (void)m_ticked.remove(it.key());
            moved.insert(it.key());
        }
    if (moved.isEmpty() || !m_rs)
        return;
    // No tick at all shows no boxes: the first or last tick changes every row.
    if (hadTicks != !m_ticked.isEmpty()) {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
        return;
    }
    for (int row = 0; row < rowCount() && !moved.isEmpty(); ++row)
        if (moved.remove(m_rs->valueAt(row, m_tickKey).toLongLong()))
            emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void RecordSetModel::setNotes(const QHash<qint64, QString> &notes, const QString &keyField,
                              const QString &noteField)
{
    if (notes == m_notes && (notes.isEmpty() || (keyField == m_noteKey && noteField == m_noteField)))
        return;
    m_notes = notes;
    m_noteKey = keyField;
    m_noteField = noteField;
    // Only the noted column: an editor open in another keeps what is typed.
    for (int c = 0; c < columnCount(); ++c)
        if (m_rs->fieldNames().value(fieldOf(c)).compare(noteField, Qt::CaseInsensitive) == 0 &&
            rowCount() > 0)
            emit dataChanged(index(0, c), index(rowCount() - 1, c),
                             {Qt::DisplayRole, Qt::AccessibleTextRole});
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_rs || role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_rs->fieldNames().value(fieldOf(section));
    return section + 1;
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_rs && index.isValid() &&
        !m_readOnly.contains(m_rs->fieldNames().value(fieldOf(index.column()))))
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_rs || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int field = fieldOf(index.column());
    const QVariant old = m_rs->valueAt(index.row(), field);
    if (old.toString() == value.toString() && !old.isNull())
        return true;
    if (!m_rs->setValueAt(index.row(), field, value))
        return false;
    emit cellEdited(index.row(), index.column());
    return true;
}

} // namespace pantrio
